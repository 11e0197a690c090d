// The constructors of every bound class, in each of the ways a script can
// call one, with no arguments and with an argument of no use to any of them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "tests/scripting/script_test_support.h"

namespace {

// What a constructor gives for a call without its arguments or with wrong
// ones: the Lua error naming what it wanted (raised), or a report of the
// argument checker or of the class (reported), or, when both are null, a
// new instance and no complaint.
struct Outcome {
    const char *m_sRaised;
    const char *m_sReported;
};

struct ClassOutcomes {
    Outcome m_oMissing; // no arguments
    Outcome m_oWrong;   // a table in place of the first one
};

const Outcome MADE = {nullptr, nullptr};
const Outcome NEEDS_SCENE = {"newScene", nullptr};

Outcome reported(const char *message)
{
    return {nullptr, message};
}

std::string notEnough(const char *signature)
{
    return std::string("Not enough arguments, <") + signature + "> argument(s) expected";
}

std::string invalidTable(const char *signature)
{
    return std::string("Invalid type (table) for argument #1, <") + signature + "> type argument(s) expected";
}

// The call forms: the chunk's call (X stands for the class), and the
// argument number and function name of Lua's message for the constructor's
// first argument. "new" drops its first slot as a method drops its receiver:
// written X.new(X, a), a is argument #2 in Lua's count, and X.new() misses
// its #2; called X:new(a) or X(a), a is #1.
struct Form {
    const char *m_sCall;
    bool m_bWrong; // the call passes a wrong argument
    int m_iArgument;
    bool m_bNamedNew; // Lua's message names "new", else the class
};

const Form FORMS[] = {
    {"X.new()", false, 2, true},  {"X()", false, 1, false},  {"X.new(X)", false, 2, true},
    {"X:new()", false, 1, true},  {"X({})", true, 1, false}, {"X.new(X, {})", true, 2, true},
    {"X:new({})", true, 1, true},
};

std::string replaceAll(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(Constructors, EveryCallFormAnswersMissingAndWrongArgumentsAsItsClassDoes)
{
    const std::string viewportMissing = notEnough("NNNN"), viewportWrong = invalidTable("NNNN");
    const std::string fileMissing = notEnough("S"), fileWrong = invalidTable("S");
    const std::string filterMissing = notEnough("S|I"), filterWrong = invalidTable("S|I");
    const std::string springMissing = notEnough("RVRV|II");
    const std::string jointMissing = notEnough("IRVVRVV|IIII"), jointWrong = invalidTable("IRVVRVV|IIII");
    const Outcome bone = reported("Unsupported usage of a Lua constructor LMP_Bone");
    const std::map<std::string, ClassOutcomes> expected = {
        // A scene's name is optional and not checked.
        {"newScene", {MADE, MADE}},
        {"newViewport", {reported(viewportMissing.c_str()), reported(viewportWrong.c_str())}},
        {"newObject", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newMesh", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newAnimatedMesh", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newRigidBody", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newSound", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newText", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newLamp", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newCamera", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newMike", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newImage", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newPolyline", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newTexture", {reported(filterMissing.c_str()), reported(filterWrong.c_str())}},
        {"newSample", {reported(fileMissing.c_str()), reported(fileWrong.c_str())}},
        {"newBone", {bone, bone}},
        {"newStream", {reported(filterMissing.c_str()), reported(filterWrong.c_str())}},
        {"newFont", {reported(fileMissing.c_str()), reported(fileWrong.c_str())}},
        {"newModelsSet", {reported(fileMissing.c_str()), reported(fileWrong.c_str())}},
        // Both take no arguments: an instance that stands for nothing.
        {"newMaterial", {MADE, MADE}},
        {"newAnimationData", {MADE, MADE}},
        {"newSpring", {reported(springMissing.c_str()), {"newRigidBody", nullptr}}},
        {"newJoint", {reported(jointMissing.c_str()), reported(jointWrong.c_str())}},
        {"newCollisionVolume", {NEEDS_SCENE, NEEDS_SCENE}},
        {"newAnimation", {{"newAnimationData", nullptr}, {"newAnimationData", nullptr}}},
        {"newLocator", {NEEDS_SCENE, NEEDS_SCENE}},
    };

    ScriptDocument doc(ScriptDocument::withInit(""));
    ASSERT_TRUE(doc.m_bOpened) << doc.log();
    std::set<std::string> seen;
    for (const auto &bound : TEST_boundClasses(doc.state())) {
        const std::string &name = bound.first;
        seen.insert(name);
        auto outcomes = expected.find(name);
        if (outcomes == expected.end()) {
            ADD_FAILURE() << name << " has no expected outcome";
            continue;
        }
        for (const Form &form : FORMS) {
            const Outcome &outcome = form.m_bWrong ? outcomes->second.m_oWrong : outcomes->second.m_oMissing;
            std::string call = replaceAll(form.m_sCall, "X", name);
            SCOPED_TRACE(call);
            doc.clearReport();
            std::string result = doc.run("local made = " + call + " return getmetatable(made) == " + name);
            if (outcome.m_sRaised != nullptr)
                EXPECT_EQ(result, "error: t:1: bad argument #" + std::to_string(form.m_iArgument) + " to '" +
                                      (form.m_bNamedNew ? "new" : name) + "' (" + outcome.m_sRaised + ")");
            else
                EXPECT_EQ(result, "true");
            if (outcome.m_sReported != nullptr)
                EXPECT_NE(doc.log().find(std::string("t:1: ") + outcome.m_sReported), std::string::npos) << doc.log();
            else
                EXPECT_FALSE(doc.reported()) << doc.log();
            // The interpreter goes on as before.
            EXPECT_EQ(doc.run("return 1 + 1"), "2");
        }
    }
    for (const auto &outcomes : expected)
        EXPECT_EQ(seen.count(outcomes.first), 1u) << outcomes.first << " is not a bound class";
}

} // namespace
