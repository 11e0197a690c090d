#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// The authors' guide as the tests read it: every Markdown file under docs/,
// cut into sections by their headings (a section runs to the next heading of
// its level or above, in the same file; headings inside fenced code blocks
// do not count).
struct GuideSection {
    std::string m_sFile;
    int m_iLevel = 0;
    std::string m_sHeading; // the heading's text, without the leading #s
    std::vector<std::string> m_asLines;

    // Names of the section's entries: list items that begin with a name in
    // backquotes followed by its parenthesis, "- `getPosition([ref])`" or
    // "- `scene:getGravity()`" (a receiver before ':' or '.' is skipped).
    std::set<std::string> entries() const;
    // The cells of the section's table rows that follow a cell holding
    // exactly a name in backquotes: name -> those cells' texts.
    std::multimap<std::string, std::string> tableValues() const;
    // The body of the first fenced block whose info string is language
    // ("xml", "lua"); empty when there is none.
    std::string codeBlock(const std::string &language) const;
};

class GuideText {
public:
    // Reads every .md file under the folder, in name order.
    explicit GuideText(const std::string &folder);

    // The sections whose heading text begins with prefix.
    std::vector<const GuideSection *> sectionsStartingWith(const std::string &prefix) const;
    // Whether the text holds the name in backquotes anywhere.
    bool mentions(const std::string &name) const;

    std::vector<GuideSection> m_aoSections;
    std::string m_sAllText;
    int m_iFileCount = 0;
};

// The guide of this source tree.
const GuideText &TEST_authorsGuide();
