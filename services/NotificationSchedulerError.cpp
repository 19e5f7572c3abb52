#include "services/NotificationSchedulerError.h"

#include "base/LocalizedTexts.h"

NotificationSchedulerError::NotificationSchedulerError(Kind kind)
    : std::runtime_error(localizedString(kind == Kind::invalidDateString ? "NOTIFICATION_SCHEDULER_PARSE_ERROR"
                                                                         : "NOTIFICATION_SCHEDULER_FREQ_ERROR"))
    , kind_(kind)
{
}
