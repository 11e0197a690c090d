#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "foundation/UTIL_HashMap.h"
#include "foundation/UTIL_Id.h"

namespace {

// A key of N bytes made from a number, the rest of the bytes a fixed
// pattern, so keys of every size differ only where the number is.
template <int N> struct Key {
    unsigned char m_aucBytes[N];
    explicit Key(uint32_t n)
    {
        for (int i = 0; i < N; i++)
            m_aucBytes[i] = static_cast<unsigned char>(0xA5 ^ i);
        for (int i = 0; i < 4 && i < N; i++)
            m_aucBytes[i] = static_cast<unsigned char>(n >> (8 * i));
    }
};

} // namespace

TEST(HashMap, MultiplierIsFirstListedPrimeNotBelowCapacity)
{
    struct Case {
        int capacity;
        int multiplier;
    } cases[] = {
        {1, 53},
        {32, 53},
        {53, 53},
        {54, 97},
        {64, 97},
        {128, 193},
        {1024, 1543},
        {1 << 20, 1572869},
        {1 << 29, 805306457},
        {1 << 30, 1610612741},
        {0x7FFFFFFF, 1610612741},
    };
    for (const Case &c : cases)
        EXPECT_EQ(UTIL_hashMultiplier(c.capacity), c.multiplier) << c.capacity;
}

TEST(HashMap, EmptyUntilFirstInsertThenThirtyTwoBuckets)
{
    UTIL_HashMap<4, int> map;
    uint32_t key = 7;
    EXPECT_EQ(map.getCapacity(), 0);
    EXPECT_EQ(map.getMultiplier(), 1);
    EXPECT_EQ(map.find(&key), nullptr);
    EXPECT_FALSE(map.remove(&key));

    UTIL_HashMap<4, int>::Node *node = map.insert(&key, 70);
    EXPECT_EQ(map.getCapacity(), 32);
    EXPECT_EQ(map.getMultiplier(), 53);
    EXPECT_EQ(map.getEntries(), 1);
    EXPECT_EQ(map.getUsedBuckets(), 1);
    // The node sits in bucket (checksum x multiplier) & (capacity - 1).
    uint32_t bucket = (UTIL_fletcher32(&key, 4) * 53u) & 31u;
    EXPECT_EQ(map.m_ppoBuckets[bucket], node);
    EXPECT_EQ(map.find(&key), node);
    EXPECT_EQ(node->m_oValue, 70);
}

TEST(HashMap, InitialCapacityRoundsUpToPowerOfTwoAndNeverBelow32)
{
    struct Case {
        int asked;
        int capacity;
        int multiplier;
    } cases[] = {{0, 32, 53}, {16, 32, 53}, {32, 32, 53}, {33, 64, 97}, {100, 128, 193}, {4096, 4096, 6151}};
    for (const Case &c : cases) {
        UTIL_HashMap<4, int> map(c.asked);
        uint32_t key = 1;
        map.insert(&key, 1);
        EXPECT_EQ(map.getCapacity(), c.capacity) << c.asked;
        EXPECT_EQ(map.getMultiplier(), c.multiplier) << c.asked;
    }
}

// Doubling depends on the buckets in use before the insertion: 32 buckets
// become 64 only when more than 24 are in use.
TEST(HashMap, DoublesOnlyWhenMoreThanThreeQuartersOfBucketsAreUsed)
{
    UTIL_HashMap<4, int> map;
    int grewWithUsed = -1;
    for (uint32_t n = 0; n < 200 && grewWithUsed < 0; n++) {
        int usedBefore = map.getUsedBuckets();
        map.insert(&n, static_cast<int>(n));
        if (map.getCapacity() == 64)
            grewWithUsed = usedBefore;
        else
            ASSERT_EQ(map.getCapacity(), 32) << n;
    }
    EXPECT_EQ(grewWithUsed, 25);
    EXPECT_EQ(map.getMultiplier(), 97);

    // Every entry survives the move and is counted again.
    int entries = map.getEntries();
    int found = 0;
    for (uint32_t n = 0; n < static_cast<uint32_t>(entries); n++) {
        UTIL_HashMap<4, int>::Node *node = map.find(&n);
        ASSERT_NE(node, nullptr) << n;
        EXPECT_EQ(node->m_oValue, static_cast<int>(n));
        found++;
    }
    EXPECT_EQ(found, entries);
    int used = 0;
    for (int i = 0; i < map.getCapacity(); i++)
        used += map.m_ppoBuckets[i] != nullptr;
    EXPECT_EQ(map.getUsedBuckets(), used);
}

TEST(HashMap, ManyEntriesInFewBucketsDoNotGrow)
{
    UTIL_HashMap<4, int> map;
    uint32_t key = 42;
    for (int i = 0; i < 500; i++)
        map.insert(&key, i);
    EXPECT_EQ(map.getCapacity(), 32);
    EXPECT_EQ(map.getEntries(), 500);
    EXPECT_EQ(map.getUsedBuckets(), 1);

    // Equal keys come back in insertion order.
    int expected = 0;
    for (UTIL_HashMap<4, int>::Node *node = map.find(&key); node != nullptr; node = map.findNext(node))
        EXPECT_EQ(node->m_oValue, expected++);
    EXPECT_EQ(expected, 500);

    // Removal takes the first one.
    EXPECT_TRUE(map.remove(&key));
    EXPECT_EQ(map.find(&key)->m_oValue, 1);
    EXPECT_EQ(map.getEntries(), 499);
    EXPECT_EQ(map.getUsedBuckets(), 1);
}

TEST(HashMap, KeysWithEqualChecksumsStayDistinct)
{
    // Fletcher sums are modulo 65535, so a zero word and an all-ones word
    // give the same checksum.
    const uint32_t zeros = 0x00000000u, ones = 0xFFFFFFFFu;
    ASSERT_EQ(UTIL_fletcher32(&zeros, 4), UTIL_fletcher32(&ones, 4));

    UTIL_HashMap<4, int> map;
    map.insert(&zeros, 1);
    EXPECT_EQ(map.find(&ones), nullptr);
    map.insert(&ones, 2);
    EXPECT_EQ(map.getUsedBuckets(), 1);
    EXPECT_EQ(map.find(&zeros)->m_oValue, 1);
    EXPECT_EQ(map.find(&ones)->m_oValue, 2);
    EXPECT_EQ(map.findNext(map.find(&zeros)), nullptr);

    EXPECT_TRUE(map.remove(&ones));
    EXPECT_FALSE(map.remove(&ones));
    EXPECT_EQ(map.find(&zeros)->m_oValue, 1);
    EXPECT_EQ(map.getUsedBuckets(), 1);
    EXPECT_TRUE(map.remove(&zeros));
    EXPECT_EQ(map.getUsedBuckets(), 0);
    EXPECT_EQ(map.getEntries(), 0);
}

// The key sizes the player uses: identifiers, pointers, glyph keys and
// vertex positions.
template <typename T> class HashMapKeySize : public ::testing::Test {
};
typedef ::testing::Types<std::integral_constant<int, 4>, std::integral_constant<int, 8>,
                         std::integral_constant<int, 16>, std::integral_constant<int, 24>>
    KeySizes;
TYPED_TEST_SUITE(HashMapKeySize, KeySizes);

TYPED_TEST(HashMapKeySize, InsertFindRemoveAcrossGrowth)
{
    const int N = TypeParam::value;
    const uint32_t count = 3000;
    UTIL_HashMap<N, uint32_t> map;
    for (uint32_t n = 0; n < count; n++) {
        Key<N> key(n);
        map.insert(key.m_aucBytes, n * 3);
    }
    EXPECT_EQ(map.getEntries(), static_cast<int>(count));
    EXPECT_GE(map.getCapacity(), 64);
    EXPECT_EQ(map.getMultiplier(), UTIL_hashMultiplier(map.getCapacity()));

    for (uint32_t n = 0; n < count; n += 2) {
        Key<N> key(n);
        ASSERT_TRUE(map.remove(key.m_aucBytes)) << n;
    }
    EXPECT_EQ(map.getEntries(), static_cast<int>(count / 2));
    for (uint32_t n = 0; n < count; n++) {
        Key<N> key(n);
        typename UTIL_HashMap<N, uint32_t>::Node *node = map.find(key.m_aucBytes);
        if (n % 2 == 0) {
            EXPECT_EQ(node, nullptr) << n;
        } else {
            ASSERT_NE(node, nullptr) << n;
            EXPECT_EQ(node->m_oValue, n * 3);
            EXPECT_EQ(memcmp(node->m_aucKey, key.m_aucBytes, N), 0);
        }
    }
    Key<N> absent(count + 1);
    EXPECT_EQ(map.find(absent.m_aucBytes), nullptr);
}

TEST(HashMap, ClearAllAppliesActionAndKeepsBuckets)
{
    UTIL_HashMap<8, int *> map;
    std::vector<int> released;
    int values[100];
    for (int i = 0; i < 100; i++) {
        values[i] = i;
        int *pointer = &values[i];
        map.insert(&pointer, pointer);
    }
    int capacity = map.getCapacity();
    map.clearAll([&](int *&value) { released.push_back(*value); });
    EXPECT_EQ(released.size(), 100u);
    long sum = 0;
    for (int v : released)
        sum += v;
    EXPECT_EQ(sum, 4950);
    EXPECT_EQ(map.getEntries(), 0);
    EXPECT_EQ(map.getUsedBuckets(), 0);
    EXPECT_EQ(map.getCapacity(), capacity);
    ASSERT_NE(map.m_ppoBuckets, nullptr);
    for (int i = 0; i < capacity; i++)
        EXPECT_EQ(map.m_ppoBuckets[i], nullptr);

    // The map is usable again.
    int *pointer = &values[5];
    map.insert(&pointer, pointer);
    EXPECT_EQ(map.find(&pointer)->m_oValue, &values[5]);
}
