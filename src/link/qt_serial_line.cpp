#include "qt_serial_line.h"

#include "link_settings.h"
#include "messages/connection_texts.h"
#include "port_lock.h"

#include <QSerialPortInfo>

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace pmv::link {
namespace {

LowLatency RequestLowLatency(int fd)
{
    serial_struct serial{};
    // A pseudo-terminal or a driver without serial settings has no latency to lower.
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return LowLatency::NotApplicable;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return LowLatency::Set;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0 ? LowLatency::Set : LowLatency::Refused;
}

}  // namespace

bool QtSerialLine::Open(const std::string& device)
{
    Close();
    latency_ = LowLatency::NotApplicable;
    if (!OpenPort(device))
        return false;
    openError_.clear();
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    latency_ = RequestLowLatency(static_cast<int>(port_.handle()));
    return true;
}

bool QtSerialLine::OpenPort(const std::string& device)
{
    // Qt locks a port by its name and root passes TIOCEXCL by: a link to the device would let a
    // second line onto it. The device lock is taken by the device number, and Qt is given the
    // resolved name, so that every name of one device shares both locks.
    const std::string resolved = ResolvedDevicePath(device);
    if (!deviceLock_.Acquire(resolved)) {
        openError_ = Text(LinkNotice::PortAlreadyOpen);
        return false;
    }
    port_.setPortName(QString::fromStdString(resolved));
    // QSerialPort opens the device exclusively (TIOCEXCL and a lock file).
    if (port_.open(QIODevice::ReadWrite))
        return true;
    if (port_.error() == QSerialPort::PermissionError) {
        if (const auto recovered = RecoverStalePortLock(resolved)) {
            std::fprintf(stderr, "%s\n", Text(LinkNotice::StalePortLockRemoved, {device, *recovered}).c_str());
            port_.clearError();
            if (port_.open(QIODevice::ReadWrite))
                return true;
        }
    }
    openError_ = port_.errorString().toStdString();
    port_.clearError();
    deviceLock_.Release();
    return false;
}

bool QtSerialLine::IsOpen() const
{
    return port_.isOpen();
}

void QtSerialLine::Close()
{
    if (port_.isOpen())
        port_.close();
    deviceLock_.Release();
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

std::vector<SerialPortInfo> FoundSerialPortInfos()
{
    std::vector<std::string> devices;
    std::vector<SerialPortInfo> infos;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        devices.push_back(info.systemLocation().toStdString());
        infos.push_back({devices.back(), info.description().toStdString(), info.serialNumber().toStdString()});
    }
    std::vector<SerialPortInfo> ordered;
    for (const std::string& device : OrderSerialPorts(std::move(devices)))
        ordered.push_back(*std::find_if(infos.begin(), infos.end(), [&](const SerialPortInfo& i) { return i.device == device; }));
    return ordered;
}

std::vector<std::string> FoundSerialPorts()
{
    return DeviceNames(FoundSerialPortInfos());
}

}  // namespace pmv::link
