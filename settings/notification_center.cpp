#include "notification_center.h"

NotificationCenter& NotificationCenter::shared()
{
    static NotificationCenter instance;
    return instance;
}
