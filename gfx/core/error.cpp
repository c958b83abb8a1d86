// Error module (core module 0x40F): the pending error record, where the first error wins.
#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"

namespace {

struct ErrorBlock {
    GxError pending;
};

GxInt32 errorModuleOffset = -1;
GxInt32 errorModuleInstances = 0;

// Before the engine starts (and after it stops) errors land in a record of their own,
// so that failures of init, open and registration can still be read.
GxError staticError = {0, gxERRNOERROR};

GxError* Pending()
{
    if (errorModuleInstances > 0) {
        return &reinterpret_cast<ErrorBlock*>(GxEngineGetModuleBlock(errorModuleOffset))->pending;
    }
    return &staticError;
}

void* ErrorOpen(void* instance, GxInt32 offset, GxInt32)
{
    errorModuleOffset = offset;
    errorModuleInstances++;
    GxError* pending = Pending();
    pending->pluginID = 0;
    pending->errorCode = gxERRNOERROR;
    return instance;
}

void* ErrorClose(void* instance, GxInt32, GxInt32)
{
    errorModuleInstances--;
    return instance;
}

}  // namespace

const GxCoreModule gxErrorModule = {0x40F, static_cast<GxInt32>(sizeof(ErrorBlock)), ErrorOpen, ErrorClose};

GxError* GxErrorSet(GxError* record)
{
    GX_ASSERT(record != nullptr, "a record to set");
    GxError* pending = Pending();
    if (pending->pluginID != 0 || pending->errorCode != gxERRNOERROR) {
        return record;
    }
    pending->pluginID = (record->errorCode & gxERRNOERROR) ? 0 : record->pluginID;
    pending->errorCode = record->errorCode;
    return record;
}

GxError* GxErrorGet(GxError* out)
{
    GX_ASSERT(out != nullptr, "a record to fill");
    GxError* pending = Pending();
    *out = *pending;
    pending->pluginID = 0;
    pending->errorCode = gxERRNOERROR;
    return out;
}

GxInt32 GxErrorMakeCode(GxInt32 code, const char*) { return code; }

void GxErrorRaise(GxInt32 pluginID, GxInt32 code)
{
    GxError record = {pluginID, GxErrorMakeCode(code)};
    GxErrorSet(&record);
}
