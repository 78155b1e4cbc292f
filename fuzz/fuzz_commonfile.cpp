// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the common-file parser as the content of a file. The text is handed
// over NUL-terminated, as a file's content is, so the parser sees exactly what it would read from
// disk; the input buffer itself is never read past its size.
#include "vexparseplccommon_p.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Orrery::CvexParsePlcCommon config = Orrery::CvexParsePlcCommonText::parse(text.c_str());
    // Walk every record the engine would read, so that a broken copy shows up here too.
    std::size_t words = config.actual().dataIDSet().array().size();
    for (const auto& block : config.moldSet().moldList())
        words +=
            block.second.dataIDSet().array().size() + block.second.dataValueSet().array().size();
    for (const auto& trigger : config.triggers())
        for (const auto& phase :
             {trigger.startTrigger(), trigger.sendTrigger(), trigger.stopTrigger()})
            for (const auto& set : phase.triggerParams())
                for (const auto& condition : set.conditions())
                    words += condition.params().array().size();
    static_cast<void>(words);
    return 0;
}
