// Pipelines: node records, creation, editing, execution, the per-frame pipeline heap and frame-object links.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/gx.h"

struct GxPipeline;
struct GxPipelineNode;
struct GxNodeDefinition;
struct GxPipelineHeap;
struct GxPipelineExecutionParams;

constexpr GxUInt32 gxPLUGINPIPELINE = 0x409;
constexpr GxUInt32 gxPIPELINEMAXOUTPUTS = 32;
constexpr GxUInt32 gxPIPELINEMAXINTERESTS = 32;
constexpr GxUInt32 gxPIPELINEDEFAULTNODECAPACITY = 64;
constexpr GxUInt32 gxPIPELINEDEFAULTHEAPSIZE = 4096;
constexpr GxUInt32 gxPIPELINEUNCONNECTED = 0xFFFFFFFFu;

// Pipeline editing errors (plugin 1, small codes).
constexpr GxInt32 gxERRPIPELINEBADENTRY = 36;       // entry node out of range, without definition or with an incoming edge
constexpr GxInt32 gxERRPIPELINEUNREACHED = 34;      // a node other than the entry with no incoming edge
constexpr GxInt32 gxERRPIPELINECYCLE = 28;
constexpr GxInt32 gxERRPIPELINETOOMANYINTERESTS = 40;
constexpr GxInt32 gxERRPIPELINETOOMANYOUTPUTS = 41;
constexpr GxInt32 gxERRPIPELINETOOMANYNODES = 42;
constexpr GxInt32 gxERRPIPELINENOTLOCKED = 52;
constexpr GxInt32 gxERRPIPELINEEMPTY = 53;          // execution of a pipeline with no node or still locked
constexpr GxInt32 gxERRNOTSTARTEDVECTOR = gxERRCODE(0x80000018);

// What a pipeline run is given: the object drawn and the heap its nodes allocate from.
struct GxPipelineExecutionParams {
    void* object;
    GxPipelineHeap* heap;
};

typedef GxBool (*GxNodeBodyFunc)(GxPipelineNode* node, const GxPipelineExecutionParams* params);
typedef GxBool (*GxNodeKindOpenFunc)(GxNodeDefinition* definition);
typedef GxBool (*GxNodeKindCloseFunc)(GxNodeDefinition* definition);
typedef GxBool (*GxNodeOpenFunc)(GxPipelineNode* node);
typedef GxBool (*GxNodeCloseFunc)(GxPipelineNode* node);
typedef GxBool (*GxNodeConfigureFunc)(GxPipelineNode* node, GxPipeline* pipeline);
typedef GxUInt32 (*GxNodeMessageFunc)(GxPipelineNode* node, GxUInt32 message, GxUInt32 a, void* b);

// Static description of a node kind.
struct GxNodeDefinition {
    const char* name;
    GxNodeBodyFunc body;
    GxNodeKindOpenFunc kindOpen;       // first set-up node of this kind
    GxNodeKindCloseFunc kindClose;     // last one gone
    GxNodeOpenFunc nodeOpen;           // per node, at unlock
    GxNodeCloseFunc nodeClose;         // per node, at lock and destruction
    GxNodeConfigureFunc nodeConfigure; // per node, after every open
    GxNodeMessageFunc messageHandler;
    GxUInt32 interestCount;
    const void* interests;             // cluster references; resolved by the cluster stage of unlock
    const GxUInt32* interestRequirements;
    GxUInt32 outputCount;
    const void* outputSpecs;
    GxUInt32 privateSize;              // bytes of each node's private block
    GxUInt32 isEditable;               // allocated at run time: freed with its last use
    GxUInt32 useCount;                 // live set-up nodes of this kind
};

struct GxPipelineNode {
    GxNodeDefinition* definition;
    GxUInt32 outputCount;
    GxUInt32* outputTargets;           // node indexes, gxPIPELINEUNCONNECTED when not connected
    void** slotClusters;
    GxUInt32* slotOutputMasks;
    void* privateBlock;                // zeroed at unlock, privateSize bytes
    GxUInt32* interestSlots;
    void* orderWork;                   // the node's work record, valid while locked
    void* setupData;                   // owned copy of the node's set-up data
    GxUInt32 setupDataSize;
};

// One data cluster travelling through a pipeline.
struct GxPipelineCluster {
    GxUInt16 flags;                    // bit 1: data not owned by the heap
    GxUInt16 stride;
    void* data;
    void* currentData;
    GxUInt32 numAlloced;
    GxUInt32 numUsed;
    void* attributes;
};
constexpr GxUInt16 gxPIPELINECLUSTERINUSE = 0x1;
constexpr GxUInt16 gxPIPELINECLUSTEREXTERNAL = 0x2;

// Header of a packet, followed by one cluster per slot.
struct GxPipelinePacket {
    GxUInt16 flags;
    GxUInt16 numClusters;
    GxPipeline* pipeline;
    GxPipelineCluster clusters[1];
};

struct GxPipeline {
    GxUInt32 isLocked;
    GxUInt32 nodeCount;
    GxPipelineNode* nodeArray;
    GxUInt32 slotCount;
    GxUInt32 packetsMade;              // packets made by the current run; cleared before each run
    GxPipelinePacket* packetTemplate;
    GxUInt32 inputCount;
    void* inputs;
    void* nodeBlock;
    GxUInt32 nodeBlockSize;
    GxUInt32 entryNode;
    GxUInt32 ownerPluginId;            // plugin that can restore the pipeline on a read atomic
    GxUInt32 pluginData;
};

// Pipeline module data in the engine instance.
struct GxPipelineModuleBlock {
    struct GxFreeList* pipelineFreeList;
    GxUInt32 defaultRenderStates[11];
    GxLink allPipelines;
    GxUInt32 nodeCapacity;
    GxPipeline* currentAtomicPipeline;
    GxPipeline* currentSectorPipeline;
    GxPipeline* currentMaterialPipeline;
    GxPipeline* genericAtomicPipeline;
    GxPipeline* genericSectorPipeline;
    GxPipeline* genericMaterialPipeline;
    GxPipeline* platformAtomicPipeline;
    GxPipeline* platformSectorPipeline;
    GxPipeline* platformMaterialPipeline;
};

// The module's block in the current engine instance (null before the module opened).
GxPipelineModuleBlock* GxPipelineGetModuleBlock(void);

GxBool GxPipelineSystemOpen(void);
GxBool GxPipelineSystemClose(void);

GxPipeline* GxPipelineCreate(void);
void GxPipelineDestroy(GxPipeline* pipeline);
GxPipelineNode* GxPipelineNodeDestroy(GxPipelineNode* node, GxPipeline* pipeline);
GxPipeline* GxPipelineExecute(GxPipeline* pipeline, void* object, GxBool resetHeap);
// Runs the node that output `output` of `node` feeds, in the pipeline being executed.
// 1 when there is no such node (an unconnected output ends the run), else the body's result.
GxBool GxPipelineNodeSendToOutput(GxPipelineNode* node, GxUInt32 output, const GxPipelineExecutionParams* params);

// Editing: lock, add chains, unlock. AddFragment's list of definitions ends with a null.
GxPipeline* GxPipelineLock(GxPipeline* pipeline);
GxPipeline* GxPipelineAddFragment(GxPipeline* pipeline, GxUInt32* firstIndexOut, ...);
GxPipeline* GxPipelineUnlock(GxPipeline* pipeline);
// Connects output `output` of node `from` to node `to` in a locked pipeline.
GxPipeline* GxPipelineConnectNodes(GxPipeline* pipeline, GxUInt32 from, GxUInt32 output, GxUInt32 to);

void GxPipelinePacketRelease(GxPipelinePacket* packet);
// Fills the module's own vector with the defaults before start; copies them out after.
GxUInt32* GxRenderStateVectorGetDefault(GxUInt32* vector);

// The scratch heap node bodies allocate from while a pipeline runs.
struct GxPipelineHeapBlockHeader;
struct GxPipelineHeapSuperBlock;

struct GxPipelineHeapFreeEntry {
    GxUInt32 size;
    GxPipelineHeapBlockHeader* block;
};

struct GxPipelineHeapBlockHeader {
    GxPipelineHeapBlockHeader* prev;
    GxPipelineHeapBlockHeader* next;
    GxUInt32 size;                     // payload bytes
    GxPipelineHeapFreeEntry* freeEntry; // null while in use
};

struct GxPipelineHeapSuperBlock {
    char* area;                        // start of the laid-out area, a multiple of 128
    GxUInt32 areaSize;
    GxPipelineHeapSuperBlock* next;
};

struct GxPipelineHeap {
    GxUInt32 superBlockSize;
    GxPipelineHeapSuperBlock* head;
    GxPipelineHeapBlockHeader* headBlock;
    GxPipelineHeapFreeEntry* freeBlocks;
    GxUInt32 entriesAlloced;
    GxUInt32 entriesUsed;
    GxUInt32 dirty;                    // blocks were handed out since the last reset
};

GxPipelineHeap* GxPipelineGetHeap(void);
GxPipelineHeap* GxPipelineHeapCreate(GxUInt32 size);
void GxPipelineHeapDestroy(GxPipelineHeap* heap);
GxBool GxPipelineHeapReset(GxPipelineHeap* heap);
void* GxPipelineHeapAlloc(GxPipelineHeap* heap, GxUInt32 size);
void* GxPipelineHeapRealloc(GxPipelineHeap* heap, void* payload, GxUInt32 size);
void GxPipelineHeapFree(GxPipelineHeap* heap, void* payload);

// Frame-attached objects (atomics, cameras, lights).
GxFramedObject* GxObjectSetFrame(GxFramedObject* object, GxFrame* frame);
GxFramedObject* GxObjectUnlinkFrame(GxFramedObject* object);
