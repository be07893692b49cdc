#include "pluginlog.h"

namespace verola::test {

PluginLog& pluginLog()
{
    static PluginLog log;
    return log;
}

} // namespace verola::test
