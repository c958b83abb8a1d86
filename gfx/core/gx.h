// Base types, list links, plugin callback types and the error record shared by the whole graphics library.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int8_t GxInt8;
typedef uint8_t GxUInt8;
typedef int16_t GxInt16;
typedef uint16_t GxUInt16;
typedef int32_t GxInt32;
typedef uint32_t GxUInt32;
typedef float GxReal;
typedef int32_t GxBool;
typedef char GxChar;

struct GxV2d {
    GxReal x, y;
};
struct GxV3d {
    GxReal x, y, z;
};
struct GxRGBA {
    GxUInt8 red, green, blue, alpha;
};
struct GxRect {
    GxInt32 x, y, w, h;
};
struct GxSphere {
    GxV3d center;
    GxReal radius;
};
struct GxBBox {
    GxV3d sup;
    GxV3d inf;
};  // maximum corner, then minimum corner
struct GxPlane {
    GxV3d normal;
    GxReal distance;
};
struct GxLine {
    GxV3d start;
    GxV3d end;
};
// A material's ambient, specular and diffuse coefficients.
struct GxSurfaceProperties {
    GxReal ambient;
    GxReal specular;
    GxReal diffuse;
};

// Primitive types of the immediate modes.
enum GxPrimitiveType : GxInt32 {
    gxPRIMTYPENAPRIMTYPE = 0,
    gxPRIMTYPELINELIST = 1,
    gxPRIMTYPEPOLYLINE = 2,
    gxPRIMTYPETRILIST = 3,
    gxPRIMTYPETRISTRIP = 4,
    gxPRIMTYPETRIFAN = 5,
    gxPRIMTYPEPOINTLIST = 6,
};

// Circular doubly linked list; a head is a link that points at itself when empty.
struct GxLink {
    GxLink* next;
    GxLink* prev;
};

inline void GxLinkInit(GxLink* head)
{
    head->next = head;
    head->prev = head;
}
inline bool GxLinkIsEmpty(const GxLink* head) { return head->next == head; }
// Links `link` directly after `head` (at the front of the list).
inline void GxLinkAddAfter(GxLink* head, GxLink* link)
{
    link->next = head->next;
    link->prev = head;
    head->next->prev = link;
    head->next = link;
}
// Links `link` directly before `head` (at the back of the list).
inline void GxLinkAddBefore(GxLink* head, GxLink* link)
{
    link->prev = head->prev;
    link->next = head;
    head->prev->next = link;
    head->prev = link;
}
inline void GxLinkRemove(GxLink* link)
{
    link->prev->next = link->next;
    link->next->prev = link->prev;
}
#define GxLinkGetData(link, type, member) \
    (reinterpret_cast<type*>(reinterpret_cast<char*>(link) - offsetof(type, member)))

// Plugin extension callbacks (the registry itself lives in plugin.h).
struct GxStream;
typedef void* (*GxPluginObjectConstructor)(void* object, GxInt32 offset, GxInt32 size);
typedef void* (*GxPluginObjectDestructor)(void* object, GxInt32 offset, GxInt32 size);
typedef void* (*GxPluginObjectCopy)(void* dst, const void* src, GxInt32 offset, GxInt32 size);
typedef GxStream* (*GxPluginDataChunkReadCallBack)(GxStream* stream, GxInt32 length, void* object, GxInt32 offset,
                                                   GxInt32 size);
typedef GxStream* (*GxPluginDataChunkWriteCallBack)(GxStream* stream, GxInt32 length, const void* object,
                                                    GxInt32 offset, GxInt32 size);
typedef GxInt32 (*GxPluginDataChunkGetSizeCallBack)(const void* object, GxInt32 offset, GxInt32 size);
typedef GxBool (*GxPluginDataChunkAlwaysCallBack)(void* object, GxInt32 offset, GxInt32 size);
typedef GxBool (*GxPluginDataChunkRightsCallBack)(void* object, GxInt32 offset, GxInt32 size, GxUInt32 extraData);

// Error record: the first error of a sequence wins (error.cpp).
struct GxError {
    GxInt32 pluginID;
    GxInt32 errorCode;
};

constexpr GxInt32 gxERRCODE(GxUInt32 code) { return static_cast<GxInt32>(code); }

constexpr GxInt32 gxERRNOERROR = gxERRCODE(0x80000000);
constexpr GxInt32 gxERRENGINESTATE = gxERRCODE(0x80000001);  // engine in the wrong state for the call
constexpr GxInt32 gxERRSTREAMOPEN = gxERRCODE(0x80000002);   // a stream could not be opened
constexpr GxInt32 gxERRINVALIDENUM = gxERRCODE(0x80000003);  // combine or projection type out of range
constexpr GxInt32 gxERRBADVERSION = gxERRCODE(0x80000004);   // chunk version outside the window
constexpr GxInt32 gxERRNOMEMORY = gxERRCODE(0x80000013);
constexpr GxInt32 gxERRNULLARG = gxERRCODE(0x80000016);
constexpr GxInt32 gxERRPLUGINREG = gxERRCODE(0x80000017);  // registration refused
constexpr GxInt32 gxERRREAD = gxERRCODE(0x8000001A);
constexpr GxInt32 gxERRWRITE = gxERRCODE(0x8000001C);
constexpr GxInt32 gxERRENDOFSTREAM = 5;
constexpr GxInt32 gxERRARENAFULL = 12;
constexpr GxInt32 gxERRSTREAMACCESS = 13;
constexpr GxInt32 gxERRSTREAMTYPE = 14;
constexpr GxInt32 gxERRDEVICEREQUEST = 24;
constexpr GxInt32 gxERRZEROLENGTH = 25;
constexpr GxInt32 gxERRIM3DNOTRANSFORM = 35;
constexpr GxInt32 gxERRIM3DPRIMTYPE = 37;
constexpr GxInt32 gxERRIM3DTOOMANY = 50;

constexpr GxInt32 gxPLUGINCORE = 1;  // plugin id of the core's small codes

GxError* GxErrorSet(GxError* record);
GxError* GxErrorGet(GxError* out);
GxInt32 GxErrorMakeCode(GxInt32 code, const char* message = nullptr);
// Reports (pluginID, code) through GxErrorSet; codes with the top bit set are stored with plugin id 0.
void GxErrorRaise(GxInt32 pluginID, GxInt32 code);

// Chunk stamp written by every writer and the window every reader accepts.
constexpr GxUInt32 gxLIBRARYVERSION = 0x37002;
constexpr GxUInt32 gxLIBRARYBUILD = 10;
constexpr GxUInt32 gxVERSIONMIN = 0x35000;
constexpr GxUInt32 gxVERSIONMAX = 0x37002;
