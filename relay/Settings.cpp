#include "relay/Settings.h"

#include "links/QtSerialControl.h"
#include "links/RigctldLink.h"
#include "links/SerialLink.h"

namespace freqrelay {

std::string Settings::target() const {
    const std::string to = rigctld ? "relaying to rigctld " + rigctld->text() : "port 1 is " + port;
    return to + " (" + linkFrom + ")";
}

std::string Settings::linkName() const { return rigctld ? "rigctld " + rigctld->text() : "port 1 (" + port + ")"; }

std::unique_ptr<Link> Settings::makeLink(std::function<bool()> quitting) const {
    if (rigctld) {
        return std::make_unique<RigctldLink>(*rigctld);
    }
    auto control = std::make_unique<QtSerialControl>(port);
    control->setQuitCheck(std::move(quitting));
    return std::make_unique<SerialLink>(std::move(control));
}

}  // namespace freqrelay
