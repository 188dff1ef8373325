#include "app/singleinstance.h"

#include "common/namedevent.h"
#include "common/tracer.h"

const char kInstanceEventName[] = "HOTW_53E27782CE9741EDB43D91DD650C79D6";
const char kShutdownEventName[] = "HOTW_0865EA3F109A463ABAE12F396F3A08B7";

void ShutdownInstances()
{
    UniqueHandle event = OpenNamedEvent(EVENT_MODIFY_STATE, kShutdownEventName);
    if (!event || !::SetEvent(event.Get())) {
        TRACE(40, "ShutdownInstances: OpenEvent(stop) failed - %d", static_cast<int>(::GetLastError()));
    }
}
