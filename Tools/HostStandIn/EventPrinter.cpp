#include "EventPrinter.h"

#include "CommandLine.h"

void EventPrinter::flush()
{
    auto& instance = plugin.instance();

    for (auto& event : instance.takeEvents())
    {
        out << "event " << eventName (event.kind);

        if (event.kind == KAU_EventParameterChanged || event.kind == KAU_EventGestureBegin
            || event.kind == KAU_EventGestureEnd)
        {
            out << " index=" << event.index;

            if (event.index >= 0 && event.index < plugin.parameterCount())
                out << " id=" << plugin.identifier (event.index);
        }

        if (event.kind == KAU_EventParameterChanged || event.kind == KAU_EventLatencyChanged)
            out << " value=" << formatNumber (event.value);

        out << " thread=" << (event.thread == instance.messageThread() ? "message" : "other") << '\n';
    }

    out.flush();
}
