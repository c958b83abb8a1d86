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
constexpr GxInt32 gxERRPIPELINEBADENTRY = 36;   // entry node out of range, without definition or with an incoming edge
constexpr GxInt32 gxERRPIPELINEUNREACHED = 34;  // a node other than the entry with no incoming edge
constexpr GxInt32 gxERRPIPELINECYCLE = 28;
constexpr GxInt32 gxERRPIPELINEREQUIREDINVALID = 29;  // a required cluster made invalid on the way to its user
constexpr GxInt32 gxERRPIPELINEREPEATEDCLUSTER = 30;  // a cluster listed twice among a node's clusters of interest
constexpr GxInt32 gxERRPIPELINENULLCLUSTER = 31;
constexpr GxInt32 gxERRPIPELINESCRATCH = 32;  // scratch allocation failed while resolving clusters
constexpr GxInt32 gxERRPIPELINETOOMANYINTERESTS = 40;
constexpr GxInt32 gxERRPIPELINETOOMANYOUTPUTS = 41;
constexpr GxInt32 gxERRPIPELINETOOMANYNODES = 42;
constexpr GxInt32 gxERRPIPELINENOTLOCKED = 52;
constexpr GxInt32 gxERRPIPELINEEMPTY = 53;  // execution of a pipeline with no node or still locked
constexpr GxInt32 gxERRNOTSTARTEDVECTOR = gxERRCODE(0x80000018);

// A kind of data travelling through pipelines; compared by address.
struct GxClusterDefinition {
    const char* name;
    GxUInt32 defaultStride;
    GxUInt32 attributes;  // copied into every slot record that carries the cluster
};

// A node's cluster of interest.
struct GxClusterRef {
    GxClusterDefinition* clusterDef;
    GxUInt32 forcePresent;  // the node keeps a slot for the cluster even when nobody asks for it
    GxUInt32 reserved;
};

// What a node needs of a cluster of interest on its input.
constexpr GxUInt32 gxCLUSTERDONTWANT = 0;
constexpr GxUInt32 gxCLUSTERREQUIRED = 1;
constexpr GxUInt32 gxCLUSTEROPTIONAL = 2;

// What an output does to a cluster.
constexpr GxUInt32 gxCLUSTERNOCHANGE = 0;
constexpr GxUInt32 gxCLUSTERVALID = 1;    // the node creates or refreshes it
constexpr GxUInt32 gxCLUSTERINVALID = 2;  // the node spoils it

struct GxOutputSpec {
    const char* name;
    const GxUInt32* clusterValidity;  // one per cluster of interest
    GxUInt32 allOtherClusters;
};

// The record a packet slot points at: one per distinct cluster of a pipeline.
struct GxPipelineClusterInfo {
    GxClusterDefinition* clusterDef;
    GxUInt32 attributes;
};

// A cluster the first node expects to find in the packet it is given.
struct GxPipelineInput {
    GxClusterDefinition* clusterDef;
    GxUInt32 requirement;
    GxUInt32 slot;
};

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
    GxNodeKindOpenFunc kindOpen;        // first set-up node of this kind
    GxNodeKindCloseFunc kindClose;      // last one gone
    GxNodeOpenFunc nodeOpen;            // per node, at unlock
    GxNodeCloseFunc nodeClose;          // per node, at lock and destruction
    GxNodeConfigureFunc nodeConfigure;  // per node, after every open
    GxNodeMessageFunc messageHandler;
    GxUInt32 interestCount;
    const GxClusterRef* interests;
    const GxUInt32* interestRequirements;  // gxCLUSTERDONTWANT, REQUIRED or OPTIONAL per interest
    GxUInt32 outputCount;
    const GxOutputSpec* outputSpecs;  // null: every output leaves every cluster unchanged
    GxUInt32 privateSize;             // bytes of each node's private block
    GxUInt32 isEditable;              // allocated at run time: freed with its last use
    GxUInt32 useCount;                // live set-up nodes of this kind
};

// A node kind of a name and a body, every other field empty; a driver sets the few it uses.
inline GxNodeDefinition GxNodeDefinitionNamed(const char* name, GxNodeBodyFunc body)
{
    GxNodeDefinition definition = {};
    definition.name = name;
    definition.body = body;
    return definition;
}

struct GxPipelineNode {
    GxNodeDefinition* definition;
    GxUInt32 outputCount;
    GxUInt32* outputTargets;               // node indexes, gxPIPELINEUNCONNECTED when not connected
    GxPipelineClusterInfo** slotClusters;  // per packet slot, the cluster it carries here or null
    GxUInt32* slotOutputMasks;             // [0] AND of all, then per slot the outputs the cluster leaves by
    void* privateBlock;                    // zeroed at unlock, privateSize bytes
    GxUInt32* interestSlots;
    void* orderWork;  // the node's work record, valid while locked
    void* setupData;  // owned copy of the node's set-up data
    GxUInt32 setupDataSize;
};

// One data cluster travelling through a pipeline.
struct GxPipelineCluster {
    GxUInt16 flags;  // bit 1: data not owned by the heap
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
    GxPipelinePacket* packetTemplate;  // head of the one block of run-time tables built by unlock
    GxUInt32 inputCount;
    GxPipelineInput* inputs;  // sorted by cluster definition address
    void* nodeBlock;
    GxUInt32 nodeBlockSize;
    GxUInt32 entryNode;
    GxUInt32 ownerPluginId;  // plugin that can restore the pipeline on a read atomic
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

// The pipeline module's open and close (engine module 0x409): the open clears the module's block and opens the
// system (null when that fails).
void* GxPipelineModuleOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxPipelineModuleClose(void* instance, GxInt32 offset, GxInt32 size);
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

// The first node after `startNode` (from the first when null) whose definition has this name, or null and
// 0xFFFFFFFF.
GxPipelineNode* GxPipelineFindNodeByName(GxPipeline* pipeline, const char* name, GxPipelineNode* startNode,
                                         GxUInt32* indexOut);
// Number of distinct cluster definitions among all nodes' clusters of interest.
GxUInt32 GxPipelineCountClusters(GxPipeline* pipeline);
// In-place sort of `count` records of `stride` bytes (a multiple of 4) by the u32 key at keyOffset.
void GxRadixSortByKey(void* base, GxUInt32 count, GxUInt32 stride, GxUInt32 keyOffset, GxUInt32 minKey,
                      GxUInt32 maxKey);
// The scratch arena of unlock: valid only while an unlock resolves clusters; null when it is exhausted.
void* GxPipelineScratchAllocTop(GxUInt32 size);
void* GxPipelineScratchAllocBottom(GxUInt32 size);

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
    GxUInt32 size;                       // payload bytes
    GxPipelineHeapFreeEntry* freeEntry;  // null while in use
};

struct GxPipelineHeapSuperBlock {
    char* area;  // start of the laid-out area, a multiple of 128
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
    GxUInt32 dirty;  // blocks were handed out since the last reset
};

GxPipelineHeap* GxPipelineGetHeap(void);
GxPipelineHeap* GxPipelineHeapCreate(GxUInt32 size);
void GxPipelineHeapDestroy(GxPipelineHeap* heap);
GxBool GxPipelineHeapReset(GxPipelineHeap* heap);
void* GxPipelineHeapAlloc(GxPipelineHeap* heap, GxUInt32 size);
void GxPipelineHeapFree(GxPipelineHeap* heap, void* payload);
// Lays a superblock's area out as start sentinel, one free block and end sentinel, chained after the end sentinel
// of `previous` (none: the chain's start); 0 when the free-block array can not grow.
GxBool GxPipelineHeapAddSuperBlock(GxPipelineHeapSuperBlock* superBlock, GxPipelineHeapSuperBlock* previous,
                                   GxPipelineHeap* heap);
// The next free-block array entry, counted; the array grows by 32 entries when full (its blocks re-pointed at the
// moved entries). Null, with out of memory raised and the array as it was, when it can not grow.
GxPipelineHeapFreeEntry* GxPipelineHeapNewFreeEntry(GxPipelineHeap* heap);

// Frame-attached objects (atomics, cameras, lights).
GxFramedObject* GxObjectSetFrame(GxFramedObject* object, GxFrame* frame);
GxFramedObject* GxObjectUnlinkFrame(GxFramedObject* object);
