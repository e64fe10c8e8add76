#include "automation/server/errorqueue.h"

#include "automation/server/errorcodes.h"

namespace Korvel {
namespace Automation {

int ErrorQueue::takeError()
{
    if (m_codes.isEmpty())
        return 0;
    return m_codes.takeFirst();
}

QString ErrorQueue::takeErrorAnswer()
{
    return errorQueryAnswer(takeError());
}

} // namespace Automation
} // namespace Korvel
