#include "qt_serial_line.h"

#include "port_lock.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace pmv {

bool QtSerialLine::Open(const std::string& device)
{
    Close();
    port_.setPortName(QString::fromStdString(device));
    // QSerialPort opens the device exclusively (TIOCEXCL and a lock file).
    if (!port_.open(QIODevice::ReadWrite)) {
        if (port_.error() != QSerialPort::PermissionError)
            return false;
        const auto recovered = RecoverStalePortLock(device);
        if (!recovered)
            return false;
        std::fprintf(stderr, "Снята брошенная блокировка порта %s: %s\n", device.c_str(), recovered->c_str());
        port_.clearError();
        if (!port_.open(QIODevice::ReadWrite))
            return false;
    }
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

bool QtSerialLine::IsOpen() const
{
    return port_.isOpen();
}

void QtSerialLine::Close()
{
    if (port_.isOpen())
        port_.close();
}

bool QtSerialLine::Configure(uint32_t baud)
{
    if (!port_.isOpen())
        return false;
    return port_.setBaudRate(static_cast<qint32>(baud)) && port_.setDataBits(QSerialPort::Data8) &&
           port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop) &&
           port_.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialLine::Purge()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::AllDirections);
}

void QtSerialLine::RaiseDtrDropRts()
{
    if (!port_.isOpen())
        return;
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(false);
    port_.clearError();
}

size_t QtSerialLine::Read(char* buffer, size_t max, uint32_t timeoutMs)
{
    if (!port_.isOpen()) {
        // Nothing can arrive; wait like an unanswered read so callers' time-outs hold.
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return 0;
    }
    if (port_.bytesAvailable() == 0 && !port_.waitForReadyRead(static_cast<int>(timeoutMs))) {
        port_.clearError();
        return 0;
    }
    const qint64 got = port_.read(buffer, static_cast<qint64>(max));
    return got > 0 ? static_cast<size_t>(got) : 0;
}

size_t QtSerialLine::Write(const char* data, size_t size, uint32_t timeoutMs)
{
    if (!port_.isOpen())
        return 0;
    const qint64 put = port_.write(data, static_cast<qint64>(size));
    if (put <= 0)
        return 0;
    port_.waitForBytesWritten(static_cast<int>(timeoutMs));
    return static_cast<size_t>(put);
}

}  // namespace pmv

#include "link_settings.h"

#include <QSerialPortInfo>

namespace pmv {

std::vector<std::string> FoundSerialPorts()
{
    std::vector<std::string> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.push_back(info.systemLocation().toStdString());
    return OrderSerialPorts(std::move(devices));
}

}  // namespace pmv
