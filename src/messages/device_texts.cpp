#include "device_texts.h"

#include "text_table.h"

namespace pmv {
namespace {

using S = ProgressStep;

constexpr TextRow<S> kSteps[] = {
    {S::ProcessTitle, "Ход процесса"},
    {S::StopHint, "Для остановки нажмите ESC"},
    {S::ReadingChannel, "Идет чтение настроек канала %1"},
    {S::WritingChannel, "Запись настроек канала %1"},
    {S::ReadSensorType, "Чтение типа датчика"},
    {S::ReadRangeMax, "Чтение максимума диапазона"},
    {S::ReadRangeMin, "Чтение минимума диапазона"},
    {S::ReadRootExtraction, "Чтение разрешения извлечения корня"},
    {S::RangeAdjustment, "Подстройка диапазона"},
    {S::ReadShift, "Чтение смещения"},
    {S::ReadSetpoint1, "Чтение уставки 1"},
    {S::ReadHysteresis1, "Чтение гистерезиса 1"},
    {S::ReadSetpointType1, "Чтение типа уставки 1"},
    {S::ReadSetpoint2, "Чтение уставки 2"},
    {S::ReadHysteresis2, "Чтение гистерезиса уставки 2"},
    {S::ReadSetpointType2, "Чтение типа уставки 2"},
    {S::ReadAveraging, "Чтение усреднения"},
    {S::ReadObservations, "Чтение числа наблюдений"},
    {S::ReadChannelExclusion, "Чтение исключения канала"},
    {S::ReadDecimals, "Чтение числа знаков после запятой"},
    {S::ReadSetpointStep, "Чтение скорости изменения уставки"},
    {S::ReadHysteresisStep, "Чтение скорости изменения гистерезиса"},
    {S::ReadPolynomial, "Чтение корректирующего полинома"},
    {S::WriteSensorType, "Запись типа датчика"},
    {S::WriteRangeMax, "Запись максимума диапазона"},
    {S::WriteRangeMin, "Запись минимума диапазона"},
    {S::WriteRootExtraction, "Запись разрешения извлечения корня"},
    {S::WriteShift, "Запись смещения"},
    {S::PrepareSetpoint1, "Подготовка к смене уставки 1"},
    {S::WriteSetpoint1, "Запись уставки 1"},
    {S::WriteHysteresis1, "Запись гистерезиса уставки 1"},
    {S::WriteSetpointType1, "Запись типа уставки 1"},
    {S::PrepareSetpointType2, "Подготовка к изменению типа уставки 2"},
    {S::WriteSetpoint2, "Запись уставки 2"},
    {S::WriteHysteresis2, "Запись гистерезиса уставки 2"},
    {S::WriteSetpointType2, "Запись типа уставки 2"},
    {S::WriteAveraging, "Запись усреднения"},
    {S::WriteObservations, "Запись числа наблюдений"},
    {S::WriteChannelUse, "Запись разрешения работы канала"},
    {S::WriteDecimals, "Запись числа знаков после запятой"},
    {S::WriteSetpointStep, "Запись скорости изменения уставки"},
    {S::WriteHysteresisStep, "Запись скорости изменения гистерезиса"},
    {S::WritePolynomial, "Запись корректирующего полинома"},
    {S::ReadFirmwareVersion, "Версия ПО прибора"},
    {S::ReadDeviceType, "Тип прибора"},
    {S::ReadErrorDisplay, "Вид отображения ошибки"},
    {S::WriteDeviceType, "Записываем тип прибора"},
    {S::WriteErrorDisplay, "Записываем вид отображения ошибки"},
    {S::WriteDeviceMarker, "Тип прибора"},
    {S::SendRestart, "Отдается команда на перезагрузку прибора"},
    {S::AwaitRestart, "Ожидание перезапуска прибора: %1 с из %2"},
    {S::ReadSerialNumber, "Читаем номер прибора"},
    {S::ReadProductionDate, "Читаем дату изготовления"},
    {S::WriteSerialNumber, "Записываем номер прибора"},
    {S::WriteProductionDate, "Записываем дату изготовления"},
    {S::ReadRelayLogic, "Чтение логики реле"},
    {S::WriteRelayLogic, "Запись логики реле"},
    {S::ReadRegulator, "Чтение параметров регулятора"},
    {S::WriteRegulator, "Запись параметров регулятора"},
    {S::ReadCoefficients, "Чтение градуировок канала %1"},
    {S::WriteCoefficients, "Запись градуировок канала %1"},
    {S::Ku10Title, "Идет градуировка по Ku 0-10 V."},
    {S::Ku100Title, "Идет градуировка по Ku 0-100 mV."},
    {S::Ki20DwellTitle, "Идет градуировка по Ki 0-20."},
    {S::Ki20SeriesTitle, "Идет градуировка по Ki 0-20 mA."},
    {S::Ki5DwellTitle, "Идет градуировка по Ki 0-5."},
    {S::Ki5SeriesTitle, "Идет градуировка по Ki 0-5 mA."},
    {S::ReferenceTitle, "Идет градуировка по UREF RREF."},
    {S::Dwell, "Выполняется выдержка времени."},
    {S::Series, "Идет накопление результатов измерения."},
    {S::FirstResistorDwell, "Выполняется выдержка времени перед измерением с первым резистором."},
    {S::FirstResistorSeries, "Идет накопление результатов измерения с первым резистором."},
    {S::SecondResistorDwell, "Выполняется выдержка времени перед измерением со вторым резистором."},
    {S::SecondResistorSeries, "Идет накопление результатов измерения со вторым резистором."},
    {S::FirstMeasurement, "Измерение 1"},
    {S::Measurement, "Измерение %1 из %2"},
    {S::TimeLeft, "До окончания осталось %1 сек"},
};
static_assert(InKeyOrder(kSteps));

using P = Prompt;

constexpr TextRow<P> kPrompts[] = {
    {P::CalibrationBoundsCaption, "Ошибка калибровки"},
    {P::CalibrationResultCaption, "Результат градуировки"},
    {P::Ku10Caption, "Градуировка параметра Ku 0-10 V"},
    {P::Ku100Caption, "Градуировка параметра Ku 0-100 mV"},
    {P::Ki20Caption, "Градуировка параметра Ki 0-20 мА"},
    {P::Ki5Caption, "Градуировка параметра Ki 0-5 мА"},
    {P::ReferenceCaption, "Градуировка параметров Uref и Rref"},
    {P::ConnectVolts, "Подключите ко входу напряжение %1  V"},
    {P::ConnectMillivolts, "Подключите ко входу напряжение %1  mV"},
    {P::ConnectMilliamps, "Подключите ко входу ток %1  mA"},
    {P::ConnectResistor, "Подключите ко входу резистор сопротивлением %1  Ом"},
    {P::Ku10OutOfBounds, "Ku 0-10 V =%1  и выходит за границы допустимого"},
    {P::Ku100OutOfBounds, "Ku 0-100 mV=%1  и выходит за границы допустимого"},
    {P::Ki20OutOfBounds, "Ki 0-20 =%1  и выходит за границы допустимого"},
    {P::Ki5OutOfBounds, "Ki 0-5 =%1  и выходит за границы допустимого"},
    {P::RrefOutOfBounds, "Rref=%1 и выходит за границы допустимого"},
    {P::UrefOutOfBounds, "Uref=%1 и выходит за границы допустимого"},
    {P::Ku10Result, "В результате получили Ku 0-10 V=%1.  Записать в прибор сразу?"},
    {P::Ku100Result, "В результате получили Ku 0-100 mV=%1.  Записать в прибор сразу?"},
    {P::Ki20Result, "В результате получили Ki 0-20=%1.  Записать в прибор сразу?"},
    {P::Ki5Result, "В результате получили Ki 0-5=%1.  Записать в прибор сразу?"},
    {P::ReferenceResult, "В результате получили Uref=%1   Rref=%2.   Записать в прибор сразу?"},
    {P::PreviousResult, "(прежнее значение: %1)"},
    {P::PreviousReferenceResult, "(прежние значения: Uref=%1   Rref=%2)"},
    {P::FactoryResetQuestion,
     "Вы хотите стереть все настройки прибора включая калибровки и записать заводские значения по умолчанию?"},
    {P::WarningCaption, "Предупреждение"},
};
static_assert(InKeyOrder(kPrompts));

}  // namespace

std::string Text(ProgressStep step, std::initializer_list<std::string_view> values)
{
    return FillIn(RowOf(kSteps, step).text, values);
}

std::string Text(Prompt prompt, std::initializer_list<std::string_view> values)
{
    return FillIn(RowOf(kPrompts, prompt).text, values);
}

}  // namespace pmv
