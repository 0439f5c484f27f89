#include "ui/RelaySetup.h"

#include "core/PathIdentity.h"
#include "core/Paths.h"
#include "links/RigctldLink.h"
#include "relay/RelayLog.h"
#include "system/LogOutput.h"
#include "system/LogText.h"
#include "system/QuitSignals.h"
#include "ui/SettingsStore.h"

#include <utility>

namespace freqrelay {

std::unique_ptr<Link> RelaySetup::linkFor(const Settings& settings) {
    // The event loop serves a signal only after a step's wait on a stalled
    // line: that wait must not hold up the stop.
    std::unique_ptr<Link> link = settings.makeLink([] { return QuitSignals::received(); });
    if (settings.rigctld && lateServers_.erase(settings.rigctld->text()) > 0) {
        static_cast<RigctldLink&>(*link).expectALateLine();
    }
    return link;
}

RelaySetup::RelaySetup(Settings settings, std::unique_ptr<LinkLock> lock)
    : settings_(std::move(settings)), lock_(std::move(lock)), link_(linkFor(settings_)) {}

Applied RelaySetup::apply(const Settings& chosen, Relay& relay) {
    Applied applied;
    std::unique_ptr<LinkLock> lock;
    if (!lock_->guards(chosen)) {
        lock = std::make_unique<LinkLock>(chosen);
        QString warning;
        applied.linkRefused = lock->take(warning);
        if (!applied.linkRefused.isEmpty()) {
            return applied;
        }
        if (!warning.isEmpty()) {
            qCWarning(relayLog).noquote() << warning;
        }
    }
    // Opened again also for the same name: what it may not be depends on the
    // file and the port. Its lines would make the store unreadable.
    if (!chosen.log.empty() && pathsLeadToOneFile(chosen.log, SettingsStore::fileName())) {
        applied.logRefused =
            QStringLiteral("cannot open the log %1: the settings are stored there").arg(readable(chosen.log));
        return applied;
    }
    if (std::string reason;
        !LogOutput::appendTo(chosen.log, chosen.file, chosen.rigctld ? std::string() : chosen.port, reason)) {
        applied.logRefused = QStringLiteral("cannot open the log %1: %2").arg(readable(chosen.log), readable(reason));
        return applied;
    }
    if (lock) {
        lock_ = std::move(lock);
    }
    // The same port or server keeps its link, and what it knows of a line
    // still unanswered.
    const bool sameLink = chosen.port == settings_.port && (chosen.rigctld ? chosen.rigctld->text() : "") ==
                                                               (settings_.rigctld ? settings_.rigctld->text() : "");
    auto link = sameLink ? std::move(link_) : linkFor(chosen);
    relay.reconfigure(chosen, *link);
    if (auto* server = dynamic_cast<RigctldLink*>(link_.get()); server && server->mayLeaveALateLine()) {
        lateServers_.insert(settings_.rigctld->text());
    }
    // The old link goes only now, after the relay has let go of it.
    link_ = std::move(link);
    settings_ = chosen;
    RelayLog::started(absolutePath(settings_.file), settings_.target(), true);
    if (const std::string problem = SettingsStore::write(settings_); !problem.empty()) {
        applied.notStored = readable(problem);
        qCWarning(relayLog).noquote() << applied.notStored;
    }
    return applied;
}

}  // namespace freqrelay
