// Immediate-mode 3D: the batch context and its pipelines, kept in the block of the driver's module.
#include "gfx/core/im3d.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"

namespace {

GxInt32 moduleOffset = -1;
GxInt32 moduleInstances = 0;

GxIm3DModuleBlock* Block()
{
    if (moduleOffset < 0 || moduleInstances <= 0) {
        return nullptr;
    }
    return reinterpret_cast<GxIm3DModuleBlock*>(GxEngineGetModuleBlock(moduleOffset));
}

// Slot of a primitive type in the render-pipeline arrays, or -1.
GxInt32 SlotOf(GxInt32 primType)
{
    switch (primType) {
    case gxPRIMTYPETRILIST:
        return 0;
    case gxPRIMTYPETRIFAN:
        return 1;
    case gxPRIMTYPETRISTRIP:
        return 2;
    case gxPRIMTYPELINELIST:
        return 3;
    case gxPRIMTYPEPOLYLINE:
        return 4;
    case gxPRIMTYPEPOINTLIST:
        return 5;
    default:
        return -1;
    }
}

// Slot of a type the render calls draw (the five line and triangle types), or -1.
GxInt32 DrawnSlotOf(GxInt32 primType) { return primType == gxPRIMTYPEPOINTLIST ? -1 : SlotOf(primType); }

GxPipeline* BuildPipeline(GxNodeDefinition* definition)
{
    GxPipeline* pipeline = GxPipelineCreate();
    if (!pipeline) {
        return nullptr;
    }
    if (!GxPipelineLock(pipeline) || !GxPipelineAddFragment(pipeline, nullptr, definition, nullptr) ||
        !GxPipelineUnlock(pipeline)) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    return pipeline;
}

void TearDown(GxIm3DModuleBlock* block)
{
    GxPipeline* render = block->defaultRenderPipelines[SlotOf(gxPRIMTYPETRILIST)];
    GxPipelineDestroy(render);
    GxPipelineDestroy(block->defaultTransformPipeline);
    memset(block, 0, sizeof(*block));
}

}  // namespace

GxBool GxIm3DContextOpen(GxInt32 offset, GxNodeDefinition* instanceNode, GxNodeDefinition* submitNode)
{
    moduleOffset = offset;
    moduleInstances++;
    GxIm3DModuleBlock* block = Block();
    memset(block, 0, sizeof(*block));
    block->defaultTransformPipeline = BuildPipeline(instanceNode);
    GxPipeline* render = block->defaultTransformPipeline ? BuildPipeline(submitNode) : nullptr;
    if (!render) {
        TearDown(block);
        moduleInstances--;
        return 0;
    }
    block->currentTransformPipeline = block->defaultTransformPipeline;
    const GxInt32 types[] = {gxPRIMTYPETRILIST, gxPRIMTYPETRIFAN, gxPRIMTYPETRISTRIP, gxPRIMTYPELINELIST,
                             gxPRIMTYPEPOLYLINE};
    for (GxInt32 type : types) {
        block->defaultRenderPipelines[SlotOf(type)] = render;
        block->renderPipelines[SlotOf(type)] = render;
    }
    return 1;
}

void GxIm3DContextClose(void)
{
    GxIm3DModuleBlock* block = Block();
    if (!block) {
        return;
    }
    TearDown(block);
    moduleInstances--;
}

GxBool GxIm3DContextIsOpen(void) { return Block() != nullptr; }

GxIm3DVertex* GxIm3DTransform(GxIm3DVertex* vertices, GxInt32 numVertices, const GxMatrix* matrix, GxUInt32 flags)
{
    GxIm3DModuleBlock* block = Block();
    GX_ASSERT(block != nullptr, "a batch needs the open module");
    GX_ASSERT(numVertices >= 0 && (vertices || numVertices == 0), "a batch is made of the caller's vertices");
    // A refused batch also ends the previous one, so later render calls cannot draw stale vertices.
    if (numVertices > gxIM3DMAXVERTICES) {
        memset(&block->pool, 0, sizeof(block->pool));
        GxErrorRaise(gxPLUGINCORE, gxERRIM3DTOOMANY);
        return nullptr;
    }
    GxIm3DTransformContext& transform = block->pool.transform;
    transform.numVerts = static_cast<GxUInt32>(numVertices);
    transform.objVerts = vertices;
    transform.stride = sizeof(GxIm3DVertex);
    transform.flags = flags | gxIM3DVERTEXXYZ | gxIM3DVERTEXRGBA;
    transform.matrix = matrix;
    if (!GxPipelineExecute(block->currentTransformPipeline, &block->pool, 1)) {
        // A failed transform leaves no batch behind for the render calls to draw from.
        memset(&block->pool, 0, sizeof(block->pool));
        return nullptr;
    }
    return vertices;
}

GxBool GxIm3DRenderIndexedPrimitive(GxInt32 primType, const GxImVertexIndex* indices, GxInt32 numIndices)
{
    GxIm3DModuleBlock* block = Block();
    GX_ASSERT(block != nullptr, "a batch needs the open module");
    if (block->pool.transform.numVerts == 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRIM3DNOTRANSFORM);
        return 0;
    }
    GX_ASSERT(numIndices >= 0, "an index count is not negative");
    const GxInt32 slot = DrawnSlotOf(primType);
    if (slot < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRIM3DPRIMTYPE);
        return 0;
    }
    for (GxInt32 i = 0; indices && i < numIndices; i++) {
        GX_ASSERT(indices[i] < block->pool.transform.numVerts, "indices name vertices of the batch");
    }
    GxUInt32 count = static_cast<GxUInt32>(numIndices);
    if (primType == gxPRIMTYPELINELIST) {
        count &= ~1u;
    } else if (primType == gxPRIMTYPETRILIST) {
        count -= count % 3;
    }
    GxIm3DRenderContext& render = block->pool.render;
    render.pipeline = block->renderPipelines[slot];
    render.primType = primType;
    render.indices = indices;
    render.numIndices = count;
    const GxBool ok = GxPipelineExecute(render.pipeline, &block->pool, 0) != nullptr;
    render = GxIm3DRenderContext{nullptr, 0, nullptr, 0};
    return ok;
}

GxBool GxIm3DRenderPrimitive(GxInt32 primType)
{
    GxIm3DModuleBlock* block = Block();
    GX_ASSERT(block != nullptr, "a batch needs the open module");
    if (block->pool.transform.numVerts == 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRIM3DNOTRANSFORM);
        return 0;
    }
    const GxInt32 slot = DrawnSlotOf(primType);
    if (slot < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRIM3DPRIMTYPE);
        return 0;
    }
    GxIm3DRenderContext& render = block->pool.render;
    render.pipeline = block->renderPipelines[slot];
    render.primType = primType;
    render.indices = nullptr;
    render.numIndices = block->pool.transform.numVerts;
    const GxBool ok = GxPipelineExecute(render.pipeline, &block->pool, 0) != nullptr;
    render = GxIm3DRenderContext{nullptr, 0, nullptr, 0};
    return ok;
}

GxBool GxIm3DEnd(void)
{
    GxIm3DModuleBlock* block = Block();
    GX_ASSERT(block != nullptr, "a batch needs the open module");
    if (block->pool.transform.numVerts == 0) {
        return 0;
    }
    memset(&block->pool, 0, sizeof(block->pool));
    return 1;
}

GxPipeline* GxIm3DSetTransformPipeline(GxPipeline* pipeline)
{
    GxIm3DModuleBlock* block = Block();
    GX_ASSERT(block != nullptr, "pipelines are set on the open module");
    block->currentTransformPipeline = pipeline ? pipeline : block->defaultTransformPipeline;
    return block->currentTransformPipeline;
}

GxPipeline* GxIm3DSetRenderPipeline(GxPipeline* pipeline, GxInt32 primType)
{
    GxIm3DModuleBlock* block = Block();
    GX_ASSERT(block != nullptr, "pipelines are set on the open module");
    const GxInt32 slot = SlotOf(primType);
    if (slot < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRIM3DPRIMTYPE);
        return nullptr;
    }
    block->renderPipelines[slot] = pipeline ? pipeline : block->defaultRenderPipelines[slot];
    return block->renderPipelines[slot];
}
