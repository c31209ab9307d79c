#include "local_serial_line.h"

#include "link_settings.h"
#include "messages/connection_texts.h"
#include "port_lock.h"

#include <QSerialPortInfo>

#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Whole milliseconds left until `deadline` for poll, 0 when it has passed.
int MsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

// The time left until `deadline` for ppoll, zero when it has passed.
timespec TimeUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

bool LocalSerialLine::Open(const std::string& device)
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

bool LocalSerialLine::OpenPort(const std::string& device)
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

bool LocalSerialLine::IsOpen() const { return port_.isOpen(); }

void LocalSerialLine::Close()
{
    if (port_.isOpen())
        port_.close();
    deviceLock_.Release();
}

bool LocalSerialLine::Configure(uint32_t baud)
{
    if (!port_.isOpen())
        return false;
    return port_.setBaudRate(static_cast<qint32>(baud)) && port_.setDataBits(QSerialPort::Data8) &&
           port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop) &&
           port_.setFlowControl(QSerialPort::NoFlowControl);
}

void LocalSerialLine::Purge()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::AllDirections);
}

void LocalSerialLine::RaiseDtrDropRts()
{
    if (!port_.isOpen())
        return;
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(false);
    port_.clearError();
}

size_t LocalSerialLine::Read(char* buffer, size_t max, uint32_t timeoutMs)
{
    return ReadUntil(buffer, max, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs));
}

size_t LocalSerialLine::ReadUs(char* buffer, size_t max, uint32_t timeoutUs)
{
    return ReadUntil(buffer, max, std::chrono::steady_clock::now() + std::chrono::microseconds(timeoutUs));
}

size_t LocalSerialLine::ReadUntil(char* buffer, size_t max, std::chrono::steady_clock::time_point deadline)
{
    if (!port_.isOpen()) {
        // Nothing can arrive; wait like an unanswered read so callers' time-outs hold.
        std::this_thread::sleep_until(deadline);
        return 0;
    }
    // What Qt took in while the window handled its events came first.
    if (port_.bytesAvailable() > 0) {
        const qint64 got = port_.read(buffer, static_cast<qint64>(max));
        return got > 0 ? static_cast<size_t>(got) : 0;
    }
    // The descriptor itself is waited on: Qt's wait buffers and signals every byte, and the time
    // it takes after an answer's last byte delays the next request.
    const int fd = static_cast<int>(port_.handle());
    for (;;) {
        pollfd watch{fd, POLLIN, 0};
        const timespec left = TimeUntil(deadline);
        const int ready = ::ppoll(&watch, 1, &left, nullptr);
        if (ready == 0)
            return 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready > 0 && (watch.revents & POLLIN)) {
            const ssize_t got = ::read(fd, buffer, max);
            if (got > 0)
                return static_cast<size_t>(got);
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
        }
        // The device is gone (unplugged, hung up): nothing more can come, but the callers'
        // time-outs hold, as for a closed port, instead of a loop that never waits.
        std::this_thread::sleep_until(deadline);
        return 0;
    }
}

size_t LocalSerialLine::Write(const char* data, size_t size, uint32_t timeoutMs)
{
    if (!port_.isOpen())
        return 0;
    // Written straight to the descriptor: Qt would first wait for it to become writable and
    // then write, one more system call before every request.
    const int fd = static_cast<int>(port_.handle());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t put = 0;
    while (put < size) {
        const ssize_t n = ::write(fd, data + put, size - put);
        if (n > 0) {
            put += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            break;
        const int left = MsUntil(deadline);
        pollfd watch{fd, POLLOUT, 0};
        if (left == 0 || ::poll(&watch, 1, left) == 0)
            break;
    }
    return put;
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
        ordered.push_back(
            *std::find_if(infos.begin(), infos.end(), [&](const SerialPortInfo& i) { return i.device == device; }));
    return ordered;
}

std::vector<std::string> FoundSerialPorts() { return DeviceNames(FoundSerialPortInfos()); }

}  // namespace pmv::link
