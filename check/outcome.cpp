#include "outcome.h"

void Outcome::stageFailed(Exit stage)
{
    if (m_stage == Everything)
        m_stage = stage;
}

Exit Outcome::exitCode(const ChildEnd &end) const
{
    if (end.how == ChildEnd::Hung)
        return NoReturn;
    if (m_libraryBroke || (end.how != ChildEnd::Finished && end.how != ChildEnd::NotStarted))
        return LibraryBroke;
    if (m_stage != Everything)
        return m_stage;
    return m_libraryPathOnly ? LibraryPathOnly : Everything;
}
