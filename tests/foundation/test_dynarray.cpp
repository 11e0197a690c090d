#include <gtest/gtest.h>

#include "foundation/UTIL_DynArray.h"

TEST(DynArray, GrowthStartsAt128AndDoubles)
{
    UTIL_DynArray<int> array;
    EXPECT_EQ(array.m_pData, nullptr);
    EXPECT_EQ(array.m_iCapacity, 0);
    array.append(1);
    EXPECT_EQ(array.m_iCapacity, 128);
    for (int i = 1; i < 128; i++)
        array.append(i);
    EXPECT_EQ(array.m_iCapacity, 128);
    array.append(128);
    EXPECT_EQ(array.m_iCapacity, 256);
    EXPECT_EQ(array.m_iCount, 129);
    EXPECT_EQ(array[128], 128);
    array.resize(1000);
    EXPECT_EQ(array.m_iCapacity, 1024);
}

TEST(DynArray, ShrinkRules)
{
    struct Case {
        int capacity, newCount;
        bool release;
        int expectedCapacity;
    };
    const Case cases[] = {
        {256, 128, true, 128},   {256, 129, true, 256},  {128, 1, true, 128}, {1024, 10, true, 512},
        {1024, 10, false, 1024}, {1024, 0, false, 1024}, {1024, 0, true, 0},
    };
    for (const Case &c : cases) {
        UTIL_DynArray<char> array;
        array.m_bReleaseMemory = c.release;
        array.resize(c.capacity);
        ASSERT_EQ(array.m_iCapacity, c.capacity);
        array.resize(c.newCount);
        EXPECT_EQ(array.m_iCapacity, c.expectedCapacity) << c.capacity << " -> " << c.newCount;
        EXPECT_EQ(array.m_iCount, c.newCount);
        EXPECT_EQ(array.m_pData == nullptr, c.expectedCapacity == 0);
    }
}

TEST(DynArray, RemoveKeepsOrderAndFreesTheLastElement)
{
    UTIL_DynArray<int> array;
    for (int i = 0; i < 5; i++)
        array.append(i * 10);
    array.remove(0);
    array.remove(3); // the last one
    ASSERT_EQ(array.m_iCount, 3);
    EXPECT_EQ(array[0], 10);
    EXPECT_EQ(array[1], 20);
    EXPECT_EQ(array[2], 30);
    EXPECT_FALSE(array.removeValue(99));
    EXPECT_TRUE(array.removeValue(20));
    EXPECT_EQ(array[1], 30);
    array.remove(7); // out of range: nothing
    EXPECT_EQ(array.m_iCount, 2);

    UTIL_DynArray<int> single;
    single.append(5);
    single.remove(0);
    EXPECT_EQ(single.m_pData, nullptr);
    EXPECT_EQ(single.m_iCapacity, 0);
}

TEST(DynArray, ExactSizeConstructionAndCompact)
{
    UTIL_DynArray<char> exact(10);
    EXPECT_EQ(exact.m_iCount, 10);
    EXPECT_EQ(exact.m_iCapacity, 10);
    exact.append('x');
    EXPECT_EQ(exact.m_iCapacity, 128);
    exact.compact();
    EXPECT_EQ(exact.m_iCapacity, 11);

    UTIL_DynArray<char> empty(0);
    EXPECT_EQ(empty.m_pData, nullptr);
    empty.compact();
    EXPECT_EQ(empty.m_iCapacity, 0);
}
