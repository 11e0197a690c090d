#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "controller/CTRL_BeneathFolder.h"
#include "scripting/LMP_Proxy.h"
#include "scripting/LMP_ScriptLibraries.h"
#include "tests/scripting/script_test_support.h"

namespace {

// A document whose startup runs body; more members may be added.
TEST_DocumentBuilder startupDocument(const std::string &body)
{
    return ScriptDocument::withInit("function startup()\n" + body + "\nend\n");
}

TEST(ScriptConsole, PrintWritesOneUnchangedMessage)
{
    ScriptDocument doc(startupDocument("print('a', 1, nil)\n"
                                       "print('100%d %s %n')\n"
                                       "print()\n"
                                       "print(string.rep('x', 5000))\n"
                                       "print(setmetatable({}, {__tostring = function() return 'custom' end}))\n"
                                       "debug.debug()\n"
                                       "tostring = function() return {} end\n"
                                       "ok, message = pcall(print, 1)\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    const std::vector<std::string> &lines = doc.m_oLog.m_asLines;
    ASSERT_GE(lines.size(), 6u) << doc.log();
    EXPECT_EQ(lines[0], "a\t1\tnil");
    EXPECT_EQ(lines[1], "100%d %s %n");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], std::string(1023, 'x'));
    EXPECT_EQ(lines[4], "custom");
    EXPECT_EQ(lines[5], "lua_debug> ");
    EXPECT_EQ(doc.text("message"), "'tostring' must return a string to 'print'");
}

TEST(ScriptConsole, PanicMessageGoesToTheLog)
{
    TEST_LogCapture log;
    lua_State *L = luaL_newstate();
    lua_pushstring(L, "lost %s error");
    LMP_iScriptPanic(L);
    lua_close(L);
    ASSERT_EQ(log.m_asLines.size(), 1u);
    EXPECT_EQ(log.m_asLines[0], "PANIC: unprotected error in call to Lua API (lost %s error)\n");
}

TEST(ScriptConsole, StandardHandlesWriteToTheLogAndReadNothing)
{
    ScriptDocument doc(startupDocument("assert(io.write('a', 1.5) == io.stdout)\n"
                                       "assert(io.stdout:write('%s%n') == io.stdout)\n"
                                       "assert(io.stderr:write(1e100, '') == io.stderr)\n"
                                       "io.write(string.rep('y', 3000))\n"
                                       "assert(io.read() == nil)\n"
                                       "assert(io.stdin:read('*a') == '')\n"
                                       "assert(io.read('*n') == nil)\n"
                                       "for line in io.lines() do error('a line from nowhere') end\n"
                                       "local ok, message = io.stdout:close()\n"
                                       "assert(ok == nil and message == 'cannot close standard file')\n"
                                       "assert(io.stdin:write('x') == nil)\n"
                                       "assert(io.type(io.stdout) == 'file')\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    const std::vector<std::string> expected = {"a", "1.5", "%s%n", "1e+100", "", std::string(1023, 'y')};
    ASSERT_GE(doc.m_oLog.m_asLines.size(), expected.size()) << doc.log();
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ(doc.m_oLog.m_asLines[i], expected[i]) << i;
}

TEST(ScriptLoader, RequireSearchesTheDocument)
{
    TEST_DocumentBuilder document =
        startupDocument("local menu = require('ui.menu')\n"
                        "assert(menu.name == 'menu', 'menu')\n"
                        "assert(loadedFrom == './ui/menu.lua', tostring(loadedFrom))\n"
                        "assert(require('ui.menu') == menu)\n"
                        "assert(package.path == './?.lua' and package.cpath == './?.so')\n"
                        "assert(#package.searchers == 3)\n"
                        "local ok, message = pcall(require, 'nope.deep')\n"
                        "missing = message\n"
                        "ok, message = pcall(require, 'native')\n"
                        "native = message\n"
                        "local f, m, where = package.loadlib('native.so', 'luaopen_native')\n"
                        "assert(f == nil and where == 'absent', m)\n"
                        "assert(package.searchpath('ui.menu', './?.lua') == './ui/menu.lua')\n"
                        "assert(package.searchpath('ui.menu', '/usr/share/lua/5.2/?.lua') == nil)\n"
                        "package.path = '//?.lua'\n"
                        "assert(require('beside') == 'real file')\n");
    document.add("ui/menu.lua", "loadedFrom = select(2, ...)\nreturn {name = 'menu'}\n");
    document.add("native.so", "not a library\n");
    ScriptDocument doc(document);
    doc.m_oDir.write("beside.lua", "return 'real file'\n");
    ASSERT_TRUE(doc.run()) << doc.log();
    EXPECT_EQ(doc.text("missing"), "module 'nope.deep' not found:"
                                   "\n\tno field package.preload['nope.deep']"
                                   "\n\tno file './nope/deep.lua'"
                                   "\n\tno file './nope/deep.so'"
                                   "\n\tno file './nope.so'");
    EXPECT_EQ(doc.text("native"), "error loading module 'native' from file './native.so':\n\t"
                                  "dynamic libraries not enabled; check your Lua installation");
}

TEST(ScriptLoader, DofileLoadfileAndChunkStarts)
{
    const std::string bytecode = TEST_precompiled("precompiledResult = (precompiledResult or 0) + 1");
    ASSERT_FALSE(bytecode.empty());
    TEST_DocumentBuilder document =
        startupDocument("assert(dofile('lib.lua') == 7)\n"
                        "local ok, message = pcall(dofile, 'nothere.lua')\n"
                        "assert(message == 'cannot open nothere.lua: No such file or directory', message)\n"
                        "local f, m = loadfile('nothere.lua')\n"
                        "assert(f == nil and m == message)\n"
                        "ok, message = pcall(dofile, 'bom.lua')\n"
                        "bomMessage = message\n"
                        "ok, message = pcall(dofile, 'broken.lua')\n"
                        "brokenMessage = message\n"
                        "dofile('pre.luac'); dofile('hashpre.luac')\n"
                        "ok, besideMessage = pcall(dofile, '//pre.luac')\n"
                        "assert(loadfile('lib.lua', 'b') == nil)\n"
                        "local env = {}\n"
                        "loadfile('env.lua', 't', env)()\n"
                        "assert(env.x == 1 and x == nil)\n"
                        "assert(loadfile()() == nil)\n");
    document.add("lib.lua", "return 7\n");
    document.add("bom.lua", "\xEF\xBB\xBF#!/usr/bin/env lua\nlocal x = 1\nerror('third line')\n");
    document.add("broken.lua", "#!/bin/lua\n\nx = = 2\n");
    document.add("pre.luac", bytecode);
    document.add("hashpre.luac", "#!/usr/bin/lua\n" + bytecode);
    document.add("env.lua", "x = 1\n");
    ScriptDocument doc(document);
    doc.m_oDir.write("pre.luac", std::vector<unsigned char>(bytecode.begin(), bytecode.end()));
    ASSERT_TRUE(doc.run()) << doc.log();
    EXPECT_EQ(doc.text("bomMessage"), "bom.lua:3: third line");
    EXPECT_EQ(doc.text("brokenMessage"), "broken.lua:3: unexpected symbol near '='");
    EXPECT_EQ(doc.number("precompiledResult"), 2);
    EXPECT_EQ(doc.text("besideMessage"), "attempt to load a binary chunk (mode is 't')");
}

// Precompiled chunks are not checked by the interpreter: one altered in two
// bytes can crash it. They load only from the document's members, which its
// signature vouches for; a string or a file beside the document (which a
// script can write) is refused as binary, altered or not.
TEST(ScriptLoader, PrecompiledChunksOnlyFromTheDocument)
{
    const std::string refused = "attempt to load a binary chunk (mode is 't')";
    const std::string dump = "local function f(a) local t = {a, a * 2} return t[2] + #t end\n"
                             "bytes = string.dump(f)\n"
                             "altered = bytes:sub(1, 40) .. '\\255\\127' .. bytes:sub(43)\n"
                             "local out = io.open('//altered.luac', 'wb') out:write(altered) out:close()\n";
    struct Case {
        const char *expression;
        std::string expected;
    };
    const Case cases[] = {
        {"select(2, load(bytes))", refused},
        {"select(2, load(altered))", refused},
        {"select(2, loadstring(altered))", refused},
        {"select(2, load(bytes, 'chunk', 'b'))", "attempt to load a binary chunk (mode is '')"},
        {"select(2, load((function() local s = altered return function() local r = s s = nil return r end end)()))",
         refused},
        {"select(2, loadfile('//altered.luac'))", refused},
        {"select(2, pcall(dofile, '//altered.luac'))", refused},
        {"(function() package.path = '//?.luac' return select(2, pcall(require, 'altered')) end)()", refused},
        {"load('return 1 + 1')()", "2"},
        {"loadstring('return 3')()", "3"},
        {"select(2, loadfile('//altered.luac', 'b'))", "attempt to load a binary chunk (mode is '')"},
        {"dofile('member.luac')", "4"},
    };
    for (const Case &c : cases) {
        TEST_DocumentBuilder document = startupDocument(dump + "result = tostring(" + c.expression + ")\n");
        document.add("member.luac", TEST_precompiled("return 2 * 2"));
        ScriptDocument doc(document);
        ASSERT_TRUE(doc.run()) << c.expression << "\n" << doc.log();
        EXPECT_NE(doc.text("result").find(c.expected), std::string::npos)
            << c.expression << "\n-> " << doc.text("result");
    }
}

TEST(ScriptLoader, InitWithMarkAndHashLineReportsTheRightLine)
{
    ScriptDocument doc(ScriptDocument::withInit("\xEF\xBB\xBF#!/usr/bin/env vekta\n-- two\nfunction startup()\n"
                                                "  error('on four')\nend\n"));
    EXPECT_FALSE(doc.run());
    EXPECT_TRUE(doc.m_oLog.contains("init.lua:4: on four")) << doc.log();
}

TEST(ScriptIo, MemberFilesReadAndSeek)
{
    TEST_DocumentBuilder document = startupDocument(
        "local f = assert(io.open('data/values.txt'))\n"
        "assert(io.type(f) == 'file')\n"
        "assert(tostring(f):match('^file %(0x%x+%)$'), tostring(f))\n"
        "assert(f:read('*l') == 'first line')\n"
        "assert(f:read('*L') == 'second\\n')\n"
        "local a, b, c = f:read('*n', '*n', '*n')\n"
        "assert(a == 12 and b == -3.5 and c == 255, tostring(a) .. tostring(b) .. tostring(c))\n"
        "assert(f:seek('set', 6) == 6)\n"
        "assert(f:read(4) == 'line')\n"
        "assert(f:seek() == 10)\n"
        "local size = f:seek('end')\n"
        "assert(size == 36, size)\n"
        "assert(f:read(1) == nil and f:read(0) == nil and f:read('*a') == '')\n"
        "assert(f:seek('set', -5) == 0)\n"
        "assert(f:seek('cur', 1000) == size)\n"
        "assert(f:seek('end', -5) == size - 5 and f:read('*a') == 'tail\\n')\n"
        "local ok, message = pcall(f.seek, f, 'set', 1e300)\n"
        "assert(not ok and message:find('not an integer in proper range'), message)\n"
        "assert(f:setvbuf('full') == true and f:flush() == true)\n"
        "local w, werr = f:write('x')\n"
        "assert(w == nil and werr == 'Bad file descriptor', werr)\n"
        "assert(f:close() == true)\n"
        "assert(tostring(f) == 'file (closed)' and io.type(f) == 'closed file')\n"
        "ok, message = pcall(f.read, f)\n"
        "assert(message:find('attempt to use a closed file'), message)\n"
        "local count = 0\n"
        "for line in io.lines('data/values.txt') do count = count + 1 end\n"
        "assert(count == 4, count)\n"
        "local seen = {}\n"
        "for line in io.lines('data/gaps.txt') do seen[#seen + 1] = '<' .. line .. '>' end\n"
        "assert(table.concat(seen) == '<a><><b>', table.concat(seen))\n"
        "local g = io.open('data/values.txt')\n"
        "local lines = g:lines('*L')\n"
        "assert(lines() == 'first line\\n')\n"
        "g:close()\n"
        "ok, message = pcall(lines)\n"
        "assert(message:find('file is already closed'), message)\n"
        "local h, herr, code = io.open('missing.txt')\n"
        "assert(h == nil and herr == 'missing.txt: No such file or directory' and code == 2, herr)\n"
        "ok, message = pcall(io.open, 'data/values.txt', 'rw')\n"
        "assert(message:find(\"invalid mode 'rw' %(should match '%[rwa%]%%%+%?b%?'%)\"), message)\n"
        "assert(io.open('data/values.txt', 'r+b')):close()\n"
        "ok, message = pcall(io.lines, 'missing.txt')\n"
        "assert(message:find(\"cannot open file 'missing.txt' %(No such file or directory%)\"), message)\n"
        "local w = assert(io.open('data/values.txt', 'w'))\n"
        "assert(w:write('') == w and w:write('changed') == nil)\n"
        "w:close()\n"
        "assert(io.open('./data/values.txt'):read('*l') == 'first line')\n"
        "io.input('data/values.txt')\n"
        "assert(io.read() == 'first line')\n"
        "io.input():close()\n"
        "ok, message = pcall(io.read)\n"
        "assert(message:find('standard input file is closed'), message)\n");
    document.add("data/values.txt", "first line\nsecond\n12 -3.5 0xff\ntail\n");
    document.add("data/gaps.txt", "a\n\nb");
    ScriptDocument doc(document);
    ASSERT_TRUE(doc.run()) << doc.log();
}

TEST(ScriptIo, FilesBesideTheDocumentWriteAndReadBack)
{
    ScriptDocument doc(startupDocument("local f = assert(io.open('//out.txt', 'w'))\n"
                                       "assert(f:write('line one\\n', 42, '\\n') == f)\n"
                                       "assert(f:close())\n"
                                       "local lines = {}\n"
                                       "for line in io.lines('//out.txt') do lines[#lines + 1] = line end\n"
                                       "assert(#lines == 2 and lines[1] == 'line one' and lines[2] == '42')\n"
                                       "local a = assert(io.open('//out.txt', 'a+'))\n"
                                       "a:write('more')\n"
                                       "a:seek('set', 0)\n"
                                       "assert(a:read('*a') == 'line one\\n42\\nmore')\n"
                                       "a:close()\n"
                                       "io.output('//log.txt')\n"
                                       "io.write('via ', 'output')\n"
                                       "io.close()\n"
                                       "assert(io.open('//../escape.txt', 'w') == nil)\n"
                                       "assert(io.open('//', 'r') == nil)\n"
                                       "local t = assert(io.tmpfile())\n"
                                       "t:write('temporary', 1)\n"
                                       "t:seek('set')\n"
                                       "assert(t:read('*a') == 'temporary1')\n"
                                       "t:close()\n"));
    ASSERT_TRUE(doc.run()) << doc.log();
    EXPECT_EQ(TEST_readText(doc.m_oDir.path("out.txt")), "line one\n42\nmore");
    EXPECT_EQ(TEST_readText(doc.m_oDir.path("log.txt")), "via output");
}

TEST(ScriptIo, ProcessesAndTheSystemAreOutOfReach)
{
    TEST_DocumentBuilder document =
        startupDocument("local ok, message = pcall(io.popen, 'ls')\n"
                        "assert(not ok and message:find(\"'popen' not supported\"), message)\n"
                        "ok, message = pcall(os.execute, 'touch //nothing')\n"
                        "assert(not ok and message:find(\"'execute' not supported\"), message)\n"
                        "assert(os.execute() == false)\n"
                        "ok, message = pcall(os.exit, 0)\n"
                        "assert(not ok and message:find(\"'exit' not supported\"), message)\n"
                        "assert(not pcall(os.tmpname))\n"
                        "local r, rerr = os.remove('data.txt')\n"
                        "assert(r == nil and rerr == 'data.txt: Permission denied', rerr)\n"
                        "r, rerr = os.remove('/definitely/not/here')\n"
                        "assert(r == nil and rerr == '/definitely/not/here: No such file or directory', rerr)\n"
                        "assert(os.remove('//../outside.txt') == nil)\n"
                        "assert(os.rename('//victim.txt', '//renamed.txt') == true)\n"
                        "assert(os.remove('//renamed.txt') == true)\n"
                        "assert(os.rename('//keep.txt', '/tmp/keep.txt') == nil)\n"
                        "assert(os.setlocale() == 'C' and os.setlocale('C', 'numeric') == 'C')\n"
                        "assert(os.setlocale('de_DE.UTF-8') == nil and os.setlocale('') == nil)\n"
                        "assert(tostring(0.5) == '0.5' and tonumber('2.25') == 2.25)\n"
                        "assert(type(os.time()) == 'number' and type(os.clock()) == 'number')\n"
                        "assert(os.date('!%Y-%m-%d', 0) == '1970-01-01')\n");
    document.add("data.txt", "member\n");
    ScriptDocument doc(document);
    doc.m_oDir.write("victim.txt", "x");
    doc.m_oDir.write("keep.txt", "kept");
    ASSERT_TRUE(doc.run()) << doc.log();
    EXPECT_EQ(TEST_readText(doc.m_oDir.path("keep.txt")), "kept");
}

// The user's environment is none of a document's business: every name
// answers nil, set or not.
TEST(ScriptOs, EnvironmentAnswersNothing)
{
    setenv("VEKTA_TEST_TOKEN", "secret", 1);
    TEST_DocumentBuilder document =
        startupDocument("for _, name in ipairs({'VEKTA_TEST_TOKEN', 'PATH', 'HOME', 'LANG', 'LUA_PATH', '', 5}) do\n"
                        "  assert(os.getenv(name) == nil, name)\n"
                        "end\n"
                        "assert(select('#', os.getenv('PATH')) == 1)\n"
                        "local ok, message = pcall(os.getenv)\n"
                        "assert(not ok and message:find('string expected, got no value'), message)\n");
    ScriptDocument doc(document);
    EXPECT_TRUE(doc.run()) << doc.log();
    unsetenv("VEKTA_TEST_TOKEN");
}

// Every file operation a script has, on "//" names that meet symbolic links:
// links that lead out of the document's folder (absolute or relative, to a
// file or a folder, through another link, or not yet pointing at anything)
// are refused, and nothing outside changes; links that stay inside the
// folder work, and a link entry itself can be removed or renamed.
TEST(ScriptIo, NamesBesideTheDocumentStayInItsFolderThroughLinks)
{
    namespace fs = std::filesystem;
    ScriptDocument doc(startupDocument(""));
    ASSERT_TRUE(doc.run()) << doc.log();
    TEST_TempDir outside;
    const std::string out = fs::path(outside.m_sPath).filename().string();
    const fs::path folder(doc.m_oDir.m_sPath);
    // The folder beside the document and the one outside it, afresh.
    auto makeTrees = [&]() {
        for (const fs::directory_entry &entry : fs::directory_iterator(folder))
            if (entry.path().filename() != "doc.vk")
                fs::remove_all(entry.path());
        for (const fs::directory_entry &entry : fs::directory_iterator(outside.m_sPath))
            fs::remove_all(entry.path());
        outside.write("secret.txt", "secret");
        doc.m_oDir.write("data/real.txt", "real");
        const std::pair<const char *, std::string> links[] = {
            {"hostlink", outside.path("secret.txt")},
            {"uplink", "../" + out + "/secret.txt"},
            {"dirlink", outside.m_sPath},
            {"updir", "../" + out},
            {"dangling", "../" + out + "/new.txt"},
            {"chainout", "uplink"},
            {"data/escape", "../../" + out + "/secret.txt"},
            {"absinside", doc.m_oDir.path("data/real.txt")},
            {"loop", "loop"},
            {"inside", "data/real.txt"},
            {"insidedir", "data"},
            {"chain", "inside"},
            {"data/up", "../data/real.txt"},
            {"newinside", "data/created.txt"},
        };
        for (const auto &link : links)
            fs::create_symlink(link.second, folder / link.first);
    };
    struct Case {
        std::string call;
        const char *result;
        const char *check;   // a path in the folder checked afterwards, or null
        const char *content; // what it holds; null: nothing is there; "->": a link
    };
    const Case cases[] = {
        // Reading.
        {"read('//hostlink')", "false", nullptr, nullptr},
        {"read('//uplink')", "false", nullptr, nullptr},
        {"read('//dirlink/secret.txt')", "false", nullptr, nullptr},
        {"read('//updir/secret.txt')", "false", nullptr, nullptr},
        {"read('//chainout')", "false", nullptr, nullptr},
        {"read('//data/escape')", "false", nullptr, nullptr},
        {"read('//insidedir/../../" + out + "/secret.txt')", "false", nullptr, nullptr},
        {"read('//absinside')", "false", nullptr, nullptr},
        {"read('//loop')", "false", nullptr, nullptr},
        {"read('//inside')", "real", nullptr, nullptr},
        {"read('//insidedir/real.txt')", "real", nullptr, nullptr},
        {"read('//chain')", "real", nullptr, nullptr},
        {"read('//data/up')", "real", nullptr, nullptr},
        {"read('//insidedir/../data/real.txt')", "real", nullptr, nullptr},
        {"read('//data/../inside')", "real", nullptr, nullptr},
        {"read('//.//data//./real.txt')", "real", nullptr, nullptr},
        {"select(2, pcall(dofile, '//uplink')):find('cannot open') ~= nil", "true", nullptr, nullptr},
        // Overwriting, appending, creating.
        {"write('//hostlink', 'w')", "false", nullptr, nullptr},
        {"write('//uplink', 'w')", "false", nullptr, nullptr},
        {"write('//dirlink/secret.txt', 'w')", "false", nullptr, nullptr},
        {"write('//updir/secret.txt', 'r+')", "false", nullptr, nullptr},
        {"write('//chainout', 'a')", "false", nullptr, nullptr},
        {"write('//dirlink/new.txt', 'w')", "false", nullptr, nullptr},
        {"write('//updir/new.txt', 'a+')", "false", nullptr, nullptr},
        {"write('//dangling', 'w')", "false", nullptr, nullptr},
        {"write('//inside', 'w')", "true", "data/real.txt", "new"},
        {"write('//newinside', 'w')", "true", "data/created.txt", "new"},
        // Removing and renaming: a link entry in the folder is the script's
        // to remove or rename; what it leads to outside is not.
        {"os.remove('//dirlink/secret.txt') == true", "false", nullptr, nullptr},
        {"os.remove('//updir/secret.txt') == true", "false", nullptr, nullptr},
        {"os.remove('//hostlink') == true", "true", "hostlink", nullptr},
        {"os.remove('//data/escape') == true", "true", "data/escape", nullptr},
        {"os.remove('//insidedir/real.txt') == true", "true", "data/real.txt", nullptr},
        {"os.rename('//dirlink/secret.txt', '//moved.txt') == true", "false", nullptr, nullptr},
        {"os.rename('//updir/secret.txt', '//moved.txt') == true", "false", nullptr, nullptr},
        {"os.rename('//data/real.txt', '//updir/stolen.txt') == true", "false", "data/real.txt", "real"},
        {"os.rename('//data/real.txt', '//dirlink/stolen.txt') == true", "false", "data/real.txt", "real"},
        {"os.rename('//uplink', '//renamed') == true", "true", "renamed", "->"},
        {"os.rename('//insidedir/real.txt', '//insidedir/moved.txt') == true", "true", "data/moved.txt", "real"},
    };
    const std::string helpers =
        "local function read(n) local f = io.open(n, 'r') if not f then return false end "
        "  local s = f:read('*a') f:close() return s end "
        "local function write(n, mode) local f = io.open(n, mode) if not f then return false end "
        "  f:write('new') f:close() return true end ";
    // Resolved by the kernel, and walked one component at a time.
    for (bool kernel : {true, false})
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(kernel ? "kernel: " : "walk: ") + c.call);
            CTRL_BeneathFolder::setKernelResolution(kernel);
            makeTrees();
            EXPECT_EQ(doc.run(helpers + "return " + c.call), c.result);
            // Nothing outside changed.
            EXPECT_EQ(TEST_readText(outside.path("secret.txt")), "secret");
            int entries = 0;
            for (const fs::directory_entry &entry : fs::directory_iterator(outside.m_sPath)) {
                EXPECT_EQ(entry.path().filename().string(), "secret.txt");
                entries++;
            }
            EXPECT_EQ(entries, 1);
            if (c.check != nullptr) {
                const fs::path checked = folder / c.check;
                if (c.content == nullptr)
                    EXPECT_FALSE(fs::is_symlink(checked) || fs::exists(checked));
                else if (std::string(c.content) == "->")
                    EXPECT_TRUE(fs::is_symlink(checked));
                else
                    EXPECT_EQ(TEST_readText(checked.string()), c.content);
            }
        }
    CTRL_BeneathFolder::setKernelResolution(true);
}

} // namespace

// A script cannot pass other userdata off as a file handle, nor reach the
// host's pointers through the debug library.
TEST(ScriptSafety, ForgedFilesAndHostUpvaluesAreRefused)
{
    struct Case {
        const char *expression;
        const char *expected;
    };
    const Case cases[] = {
        {"(function() local v = v3(1, 2, 3); debug.setmetatable(v, getmetatable(io.stdout))\n"
         "  return select(2, pcall(io.close, v)) end)()",
         "FILE* expected"},
        {"(function() local v = v3(1, 2, 3); debug.setmetatable(v, getmetatable(io.stdout))\n"
         "  return tostring(io.type(v)) end)()",
         "nil"},
        {"select(2, pcall(debug.getregistry))", "'getregistry' not supported"},
        {"select(2, pcall(debug.setupvalue, print, 1, 5))", "upvalues of host functions cannot be changed"},
        {"(function() local x = 2; local function g() return x end\n"
         "  debug.setupvalue(g, 1, 7) return tostring(g()) end)()",
         "7"},
        // Reading a host function's upvalues would hand out the stock loader
        // that takes binary chunks, or the unguarded setupvalue.
        {"select(2, pcall(debug.getupvalue, load, 1))", "upvalues of host functions cannot be read"},
        {"select(2, pcall(debug.getupvalue, debug.setupvalue, 1))", "upvalues of host functions cannot be read"},
        {"(function() local x = 2; local function g() return x end\n"
         "  return tostring(select(2, debug.getupvalue(g, 1))) end)()",
         "2"},
        // Locals are set at the level the script names, but never in a
        // level run by a host function (level 2 here is pcall).
        {"(function() local a = 1; debug.setlocal(1, 1, 9) return tostring(a) end)()", "9"},
        {"(function() local a = 1; return tostring(debug.setlocal(1, 7, 9)) .. tostring(a) end)()", "nil1"},
        {"select(2, pcall(function() return debug.setlocal(2, 1, 5) end))",
         "locals of host functions cannot be changed"},
        {"(function() local a, b = 1, 2; local function f() return a end; local function g() return b end\n"
         "  debug.upvaluejoin(f, 1, g, 1) return tostring(f()) end)()",
         "2"},
        {"select(2, pcall(debug.upvaluejoin, print, 1, print, 1))", "upvalues of host functions cannot be changed"},
        // The function a reader of load is called from is load itself: no
        // stock loader lies under it.
        {"(function() local under; load(function() under = debug.getinfo(2, 'f').func end)\n"
         "  return tostring(under == load) end)()",
         "true"},
    };
    for (const Case &c : cases) {
        ScriptDocument document(
            ScriptDocument::withInit(std::string("result = ") + c.expression + "\nfunction startup() end\n"));
        ASSERT_TRUE(document.m_bOpened);
        EXPECT_TRUE(document.run()) << document.log();
        EXPECT_NE(document.text("result").find(c.expected), std::string::npos)
            << c.expression << "\n-> " << document.text("result");
    }
}

// A script can keep the collection of a proxy's userdata from running: by
// giving the userdata another metatable, or by taking the __gc away from its
// class's metatable. Such proxies still go when the interpreter closes.
TEST(ScriptSafety, ProxiesWhoseCollectionNeverRanGoWithTheInterpreter)
{
    const int before = LMP_Proxy::heldCount();
    {
        ScriptDocument document(ScriptDocument::withInit(
            "local s = newScene('s'); kept = newObject(s); debug.setmetatable(kept, {})\n"
            "debug.setmetatable(newObject(s), {})\n"
            "local mt = debug.getmetatable(newAnimationData()); local gc = mt.__gc\n"
            "mt.__gc = nil; newAnimationData(); newAnimationData(); collectgarbage(); mt.__gc = gc\n"
            "collectgarbage()\n"
            "function startup() end\n"));
        ASSERT_TRUE(document.m_bOpened);
        EXPECT_TRUE(document.run()) << document.log();
        EXPECT_GE(LMP_Proxy::heldCount(), before + 4);
    }
    EXPECT_EQ(LMP_Proxy::heldCount(), before);
}
