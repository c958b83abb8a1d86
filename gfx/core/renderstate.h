// The library's render-state names, set through GxRenderStateSet (engine.h) whatever the driver.
#pragma once

#include "gfx/core/gx.h"

// The library's render states, set and read through the engine instance's device record.
enum GxRenderState : GxInt32 {
    gxRENDERSTATETEXTURERASTER = 1,   // GxRaster* (stage 0)
    gxRENDERSTATETEXTUREADDRESS = 2,  // U and V together
    gxRENDERSTATETEXTUREADDRESSU = 3,
    gxRENDERSTATETEXTUREADDRESSV = 4,
    gxRENDERSTATETEXTUREPERSPECTIVE = 5,  // always on: only a nonzero value is accepted
    gxRENDERSTATEZTESTENABLE = 6,
    gxRENDERSTATESHADEMODE = 7,  // 1 flat, 2 Gouraud
    gxRENDERSTATEZWRITEENABLE = 8,
    gxRENDERSTATETEXTUREFILTER = 9,  // filter mode 0 to 6
    gxRENDERSTATESRCBLEND = 10,      // blend function 1 to 11
    gxRENDERSTATEDESTBLEND = 11,
    gxRENDERSTATEVERTEXALPHAENABLE = 12,
    gxRENDERSTATEBORDERCOLOR = 13,  // packed colour
    gxRENDERSTATEFOGENABLE = 14,
    gxRENDERSTATEFOGCOLOR = 15,
    gxRENDERSTATEFOGTYPE = 16,     // 1 linear, 2 exponential, 3 exponential squared
    gxRENDERSTATEFOGDENSITY = 17,  // set takes a GxReal*, get writes a GxReal
    gxRENDERSTATECULLMODE = 20,    // 1 none, 2 clockwise, 3 counter-clockwise
    gxRENDERSTATESTENCILENABLE = 21,
    gxRENDERSTATESTENCILFAIL = 22,  // stencil operation 1 to 8
    gxRENDERSTATESTENCILZFAIL = 23,
    gxRENDERSTATESTENCILPASS = 24,
    gxRENDERSTATESTENCILFUNCTION = 25,  // comparison 1 (never) to 8 (always)
    gxRENDERSTATESTENCILFUNCTIONREF = 26,
    gxRENDERSTATESTENCILFUNCTIONMASK = 27,
    gxRENDERSTATESTENCILFUNCTIONWRITEMASK = 28,
    gxRENDERSTATEALPHATESTFUNCTION = 29,     // comparison 1 to 8
    gxRENDERSTATEALPHATESTFUNCTIONREF = 30,  // 0 to 255
};
