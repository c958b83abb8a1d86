// The test objects' shared log.
#include "game/testsupport/objectmgr.h"

TestObjectLog& TestLog()
{
    static TestObjectLog log;
    return log;
}
