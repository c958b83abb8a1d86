// Particle tanks: flag normalisation, array layouts, locking, rendering through the callbacks and the quad split.
#include <string>
#include <utility>
#include <vector>

#include "gfx/fx/fx_testing.h"
#include "gfx/fx/particles.h"

namespace {

class ParticleTank : public FxTest {};

TEST_F(ParticleTank, FlagsNormaliseAndArraysFollowTheLayout)
{
    GxAtomic* matrix = GxParticleTankCreate(8, gxPTANKDFLAGMATRIX | gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE, 0);
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(GxParticleTankGetFormat(matrix)->dataFlags, gxPTANKDFLAGMATRIX | gxPTANKDFLAGARRAY);
    GxAtomic* bare = GxParticleTankCreate(8, 0, 0);
    EXPECT_EQ(GxParticleTankGetFormat(bare)->dataFlags, gxPTANKDFLAGPOSITION | gxPTANKDFLAGARRAY);

    GxAtomic* separate = GxParticleTankCreate(10, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR, 0);
    GxParticleTankLockStruct pos;
    GxParticleTankLockStruct col;
    GxParticleTankLockStruct size;
    ASSERT_TRUE(GxParticleTankLock(separate, &pos, gxPTANKDFLAGPOSITION, gxPTANKLOCKWRITE));
    ASSERT_TRUE(GxParticleTankLock(separate, &col, gxPTANKDFLAGCOLOR, 0));
    EXPECT_FALSE(GxParticleTankLock(separate, &size, gxPTANKDFLAGSIZE, 0));
    EXPECT_EQ(size.data, nullptr);
    EXPECT_EQ(size.stride, 0);
    EXPECT_EQ(pos.stride, 12);
    EXPECT_EQ(col.data, pos.data + 10 * 12);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pos.data) % 16, 0u);
    GxParticleTankGet(separate)->updateFlags = 0;
    GxParticleTankUnlock(separate);
    EXPECT_EQ(GxParticleTankGet(separate)->updateFlags, static_cast<GxUInt32>(gxPTANKDFLAGPOSITION));

    GxAtomic* packed = GxParticleTankCreate(10, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR | gxPTANKDFLAGSTRUCTURE, 0);
    ASSERT_TRUE(GxParticleTankLock(packed, &pos, gxPTANKDFLAGPOSITION, 0));
    ASSERT_TRUE(GxParticleTankLock(packed, &col, gxPTANKDFLAGCOLOR, 0));
    EXPECT_EQ(pos.stride, 16);
    EXPECT_EQ(col.data, pos.data + 12);
    for (GxAtomic* atomic : {matrix, bare, separate, packed}) {
        GxParticleTankDestroy(atomic);
    }
}

int instances = 0;
int renders = 0;
GxBool CountInstance(GxAtomic*, GxParticleTankFormat*, GxInt32, GxUInt32)
{
    instances++;
    return 1;
}
GxBool CountRender(GxAtomic*, GxParticleTankFormat*, GxInt32)
{
    renders++;
    return 1;
}

TEST_F(ParticleTank, EmptyTanksCallNothingCountedTanksDrawAndCopiesHaveNoTank)
{
    const GxParticleTankCallBackSet callbacks = {nullptr, nullptr, CountInstance, CountRender};
    GxAtomic* tank = GxParticleTankCreateWithCallbacks(4, gxPTANKDFLAGPOSITION | gxPTANKDFLAGARRAY, 0, &callbacks);
    ASSERT_NE(tank, nullptr);
    instances = renders = 0;
    EXPECT_EQ(tank->renderCallBack(tank), tank);
    EXPECT_EQ(instances + renders, 0);
    ASSERT_NE(GxParticleTankSetCount(tank, 3), nullptr);
    EXPECT_EQ(tank->renderCallBack(tank), tank);
    EXPECT_EQ(instances, 1);
    EXPECT_EQ(renders, 1);
    // A copy of the atomic takes its render callback but no tank: it draws nothing and fails.
    GxAtomic* copy = GxAtomicClone(tank);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GxParticleTankGet(copy), nullptr);
    EXPECT_EQ(copy->renderCallBack(copy), nullptr);
    EXPECT_EQ(instances + renders, 2);
    GxAtomicDestroy(copy);
    GxParticleTankDestroy(tank);
}

std::vector<char> ran;
GxBool SetUpPositionsOnly(GxPTankInstanceWork* work, GxAtomic*, GxParticleTank*, GxInt32 count)
{
    ran.push_back('s');
    work->hasPositions = count > 0;
    return count > 0 ? 1 : 0;
}
GxUInt8* MarkPositions(GxUInt8* dst, GxInt32, GxInt32, const GxParticleTank*, const GxPTankInstanceWork*)
{
    ran.push_back('p');
    return dst;
}
GxUInt8* MarkColours(GxUInt8* dst, GxInt32, GxInt32, const GxParticleTank*, const GxPTankInstanceWork*)
{
    ran.push_back('c');
    return dst;
}
void MarkFinish(GxAtomic*, GxParticleTank*, GxPTankInstanceWork*) { ran.push_back('f'); }

// The instance callback runs the tank's table: the set-up, the parts it found, the finish; a failed set-up ends it.
TEST_F(ParticleTank, InstancingRunsTheTableThePartsTheSetUpFound)
{
    GxAtomic* atomic = GxParticleTankCreate(4, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR, 0);
    ASSERT_NE(atomic, nullptr);
    GxParticleTank* tank = GxParticleTankGet(atomic);
    tank->instancers = {SetUpPositionsOnly, MarkPositions, nullptr, MarkColours, nullptr, MarkFinish};
    ran.clear();
    EXPECT_EQ(GxPTankInstance(atomic, &tank->format, 2, 0), 1);
    EXPECT_EQ(std::string(ran.begin(), ran.end()), "spf");
    ran.clear();
    EXPECT_EQ(GxPTankInstance(atomic, &tank->format, 0, 0), 0);
    EXPECT_EQ(std::string(ran.begin(), ran.end()), "s");
    GxParticleTankDestroy(atomic);
}

void Record(void* data, GxInt32 first, GxInt32 vertices, GxInt32 triangles)
{
    static_cast<std::vector<std::vector<GxInt32>>*>(data)->push_back({first, vertices, triangles});
}

TEST_F(ParticleTank, QuadDrawsSplitAt65532Vertices)
{
    std::vector<std::vector<GxInt32>> draws;
    EXPECT_EQ(GxParticleTankSplitQuads(100, 20000 * 4, Record, &draws), 2);
    const std::vector<std::vector<GxInt32>> expected = {{100, 65532, 32766}, {65632, 14468, 7234}};
    EXPECT_EQ(draws, expected);
    draws.clear();
    GxParticleTankSplitQuads(0, 65532, Record, &draws);
    EXPECT_EQ(draws.size(), 1u);
    draws.clear();
    EXPECT_EQ(GxParticleTankSplitQuads(0, 0, Record, &draws), 0);
    EXPECT_TRUE(draws.empty());
}

}  // namespace
