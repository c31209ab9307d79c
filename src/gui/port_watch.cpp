#include "port_watch.h"

#include "binding/session.h"
#include "link/local_serial_line.h"
#include "link/network_port.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace pmv::gui {
namespace {

// udev makes the by-id links a moment after the device node; one look after the events settle
// sees both.
constexpr int kSettleMs = 150;
// An operation holds the look off; it is tried again this often until the operation ends.
constexpr int kBusyRetryMs = 1000;

constexpr uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

bool Present(const std::string& device)
{
    // A server's line is no file here: whether it is there shows when it is used.
    if (link::IsNetworkName(device))
        return true;
    // Follows a by-id link or any other link to the tty it leads to now.
    return !device.empty() && ::access(device.c_str(), F_OK) == 0;
}

}  // namespace

PortWatch::PortWatch(QObject* parent, binding::Session& session, WindowClock& clock, std::function<bool()> busy,
                     Changed changed)
    : QObject(parent), session_(session), busy_(std::move(busy)), changed_(std::move(changed)),
      inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), settle_(clock.NewTicker([this] { Poll(); }, inotify_ >= 0)),
      devicePresent_(Present(session.port.DeviceName(link::DeviceNames(found_))))
{
    if (inotify_ >= 0) {
        notifier_ = new QSocketNotifier(inotify_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &PortWatch::OnEvents);
        WatchFolders();
        // The system's serial ports take tens of milliseconds to list: the first look comes
        // after the window's first frame.
        settle_->Start(kSettleMs);
    } else {
        // Without inotify (no descriptors left): look once a second as a last resort.
        settle_->Start(kBusyRetryMs);
    }
}

PortWatch::~PortWatch()
{
    if (inotify_ >= 0)
        ::close(inotify_);
}

void PortWatch::WatchFolders()
{
    std::vector<std::string> folders{"/dev", "/dev/serial", "/dev/serial/by-id"};
    const std::string device = session_.port.DeviceName(link::DeviceNames(found_));
    if (!device.empty())
        folders.push_back(std::filesystem::path(device).parent_path().string());
    for (const std::string& folder : folders) {
        if (folder.empty() || watched_.count(folder))
            continue;
        const int wd = inotify_add_watch(inotify_, folder.c_str(), kEntryEvents | IN_ONLYDIR);
        if (wd >= 0)
            watched_[folder] = wd;
    }
}

void PortWatch::OnEvents()
{
    // Terminals come and go in /dev/pts all the time; only serial devices, their links and the
    // port's own device matter.
    const std::filesystem::path device = session_.port.DeviceName(link::DeviceNames(found_));
    bool relevant = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const auto folder =
                std::find_if(watched_.begin(), watched_.end(), [&](const auto& w) { return w.second == event->wd; });
            if (folder == watched_.end())
                continue;
            const std::string name = event->len ? event->name : "";
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                relevant = true;
                watched_.erase(folder);
            } else if (folder->first == device.parent_path().string()) {
                relevant = relevant || name == device.filename().string() || folder->first != "/dev/pts";
            } else if (folder->first == "/dev") {
                relevant = relevant || name.rfind("tty", 0) == 0 || name == "serial";
            } else {
                relevant = true;
            }
        }
    }
    if (relevant)
        settle_->Start(kSettleMs);
}

void PortWatch::Poll()
{
    if (busy_() || session_.exchange.InExchange()) {
        if (inotify_ >= 0)
            settle_->Start(kBusyRetryMs);
        return;
    }
    std::vector<link::SerialPortInfo> found = link::FoundSerialPortInfos();
    bool changed = found != found_;
    found_ = std::move(found);
    const bool present = Present(session_.port.DeviceName(link::DeviceNames(found_)));
    std::optional<ini::FileError> fileError;
    if (session_.line.IsOpen() && !present) {
        session_.port.ClosePort();
        changed = true;
    } else if (!session_.line.IsOpen() && present && !devicePresent_) {
        fileError = session_.OpenPort(true);
        changed = true;
    }
    devicePresent_ = present;
    if (inotify_ >= 0)
        WatchFolders();
    if (changed)
        changed_(found_, fileError);
}

}  // namespace pmv::gui
