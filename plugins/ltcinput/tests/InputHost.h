#pragma once

#include "kairon/core/PluginManager.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace ltctest {

// Loads the input bundles of the build tree the way the application does
// (FilePluginFactory over the built-in plug-ins folder) into a fresh shared
// plug-in manager. Destruction drops the manager and with it every instance.
// A QApplication must exist.
class InputHost
{
public:
    InputHost();
    ~InputHost();
    InputHost(const InputHost &) = delete;
    InputHost &operator=(const InputHost &) = delete;

    InputList inputs() const;
    std::shared_ptr<tsyncInput> inputNamed(const QString &name) const;
    QStringList inputNames() const;
    QStringList inputClassNames() const;

private:
    std::shared_ptr<PluginManager> manager_;
};

// Sondeo processes whose parent is this process, running or zombie.
std::vector<pid_t> sondeoChildren();
// User plus system CPU time of a process in seconds, from /proc; -1 when gone.
double processCpuSeconds(pid_t pid);
// The build tree's root: KAIRON_BUILD_DIR, or the tree these tests were built in.
QString buildTreeRoot();

} // namespace ltctest
