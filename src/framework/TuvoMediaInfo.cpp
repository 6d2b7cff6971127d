#include "TuvoMediaInfo.h"

TuvoMediaInfo::TuvoMediaInfo(const QString &uuid)
    : m_uuid(uuid)
{
}
