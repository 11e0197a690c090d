// Opening a large document (read, descramble, MD5, signature) beside plain
// MD5 over the same bytes, and member lookup in a document of many members.
// Read the ratio of the two throughputs, not the times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_MD5.h"
#include "tools/pack/PACK_Document.h"

namespace {

const PACK_Key &key()
{
    static PACK_Key k;
    static bool loaded = false;
    if (!loaded) {
        std::string error;
        loaded = PACK_readKey(VEKTA_DEV_KEY, k, error);
    }
    return k;
}

// A document of one stored 256 MiB member, written once to a file.
const std::string &largeDocument()
{
    static std::string path;
    if (path.empty()) {
        std::vector<PACK_Member> members(2);
        members[0].m_sName = "config.xml";
        std::string config = "<vekta><version major=\"1\" minor=\"6\" patch=\"4\"/></vekta>\n";
        members[0].m_aucData.assign(config.begin(), config.end());
        members[1].m_sName = "data.bin";
        members[1].m_aucData.resize(256u << 20);
        for (size_t i = 0; i < members[1].m_aucData.size(); i++)
            members[1].m_aucData[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
        std::vector<unsigned char> document;
        std::string error;
        PACK_makeDocument(members, key(), true, document, error);
        path = "/tmp/vekta-bench-large.vk";
        PACK_writeFile(path, document, error);
    }
    return path;
}

void BM_OpenDocument256MiB(benchmark::State &state)
{
    const std::string &path = largeDocument();
    for (auto _ : state) {
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        bool ok = controller.openDocument(path.c_str());
        if (!ok)
            state.SkipWithError("the document did not open");
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(state.iterations() * (256ll << 20));
}
BENCHMARK(BM_OpenDocument256MiB)->Unit(benchmark::kMillisecond);

void BM_PlainMD5_256MiB(benchmark::State &state)
{
    std::vector<unsigned char> bytes;
    std::string error;
    PACK_readFile(largeDocument(), bytes, error);
    unsigned char digest[16];
    for (auto _ : state) {
        UTIL_md5(bytes.data(), bytes.size() - 128, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * (256ll << 20));
}
BENCHMARK(BM_PlainMD5_256MiB)->Unit(benchmark::kMillisecond);

void BM_MemberLookup10000(benchmark::State &state)
{
    std::vector<PACK_Member> members(10001);
    std::string config = "<vekta><version major=\"1\" minor=\"6\" patch=\"4\"/></vekta>\n";
    members[0].m_sName = "config.xml";
    members[0].m_aucData.assign(config.begin(), config.end());
    for (int i = 1; i <= 10000; i++) {
        members[i].m_sName = "m/" + std::to_string(i) + ".lua";
        members[i].m_aucData = {'x', '\n'};
    }
    std::vector<unsigned char> document;
    std::string error;
    PACK_makeDocument(members, key(), true, document, error);
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    controller.openDocumentBytes("many.vk", document.data(), document.size());
    int i = 0;
    for (auto _ : state) {
        std::string name = "m/" + std::to_string(1 + (i++ * 7919) % 10000) + ".lua";
        benchmark::DoNotOptimize(controller.hasMember(name.c_str()));
    }
}
BENCHMARK(BM_MemberLookup10000);

} // namespace
