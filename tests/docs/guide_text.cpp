#include "tests/docs/guide_text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tests/support/TEST_Document.h"

namespace {

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The level of a heading line ("## Title" is 2), 0 for any other line.
int headingLevel(const std::string &line)
{
    size_t n = 0;
    while (n < line.size() && line[n] == '#')
        n++;
    if (n == 0 || n > 6 || n >= line.size() || line[n] != ' ')
        return 0;
    return static_cast<int>(n);
}

std::string trim(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// The cells of a table row "| a | b |", trimmed.
std::vector<std::string> tableCells(const std::string &line)
{
    std::vector<std::string> cells;
    std::string row = trim(line);
    if (row.size() < 2 || row.front() != '|' || row.back() != '|')
        return cells;
    size_t start = 1;
    for (size_t i = 1; i < row.size(); i++)
        if (row[i] == '|' && row[i - 1] != '\\') {
            cells.push_back(trim(row.substr(start, i - start)));
            start = i + 1;
        }
    return cells;
}

void readFile(GuideText &guide, const std::string &path, const std::string &name)
{
    std::string text = TEST_readText(path);
    guide.m_sAllText += text + "\n";
    guide.m_iFileCount++;
    std::vector<size_t> open; // indices of the sections still open, outermost first
    bool fenced = false;
    size_t position = 0;
    while (position <= text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(position, end - position);
        position = end + 1;
        if (startsWith(trim(line), "```"))
            fenced = !fenced;
        int level = fenced ? 0 : headingLevel(line);
        if (level > 0) {
            while (!open.empty() && guide.m_aoSections[open.back()].m_iLevel >= level)
                open.pop_back();
            GuideSection section;
            section.m_sFile = name;
            section.m_iLevel = level;
            section.m_sHeading = trim(line.substr(static_cast<size_t>(level)));
            guide.m_aoSections.push_back(section);
            open.push_back(guide.m_aoSections.size() - 1);
            continue;
        }
        for (size_t i : open)
            guide.m_aoSections[i].m_asLines.push_back(line);
    }
}

} // namespace

std::set<std::string> GuideSection::entries() const
{
    std::set<std::string> names;
    for (const std::string &line : m_asLines) {
        if (!startsWith(line, "- `"))
            continue;
        size_t i = 3;
        size_t start = i;
        while (i < line.size() && isNameChar(line[i]))
            i++;
        if (i < line.size() && (line[i] == ':' || line[i] == '.')) {
            start = ++i;
            while (i < line.size() && isNameChar(line[i]))
                i++;
        }
        if (i > start && i < line.size() && line[i] == '(')
            names.insert(line.substr(start, i - start));
    }
    return names;
}

std::multimap<std::string, std::string> GuideSection::tableValues() const
{
    std::multimap<std::string, std::string> values;
    for (const std::string &line : m_asLines) {
        std::vector<std::string> cells = tableCells(line);
        for (size_t i = 0; i + 1 < cells.size(); i++) {
            const std::string &cell = cells[i];
            if (cell.size() > 2 && cell.front() == '`' && cell.back() == '`')
                values.emplace(cell.substr(1, cell.size() - 2), cells[i + 1]);
        }
    }
    return values;
}

std::string GuideSection::codeBlock(const std::string &language) const
{
    std::string body;
    bool inside = false;
    for (const std::string &line : m_asLines) {
        if (!inside) {
            inside = trim(line) == "```" + language;
            continue;
        }
        if (trim(line) == "```")
            return body;
        body += line + "\n";
    }
    return "";
}

GuideText::GuideText(const std::string &folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file() && it->path().extension() == ".md")
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path &file : files)
        readFile(*this, file.string(), std::filesystem::relative(file, folder).string());
}

std::vector<const GuideSection *> GuideText::sectionsStartingWith(const std::string &prefix) const
{
    std::vector<const GuideSection *> found;
    for (const GuideSection &section : m_aoSections)
        if (startsWith(section.m_sHeading, prefix))
            found.push_back(&section);
    return found;
}

bool GuideText::mentions(const std::string &name) const
{
    return m_sAllText.find("`" + name + "`") != std::string::npos ||
           m_sAllText.find("`" + name + "(") != std::string::npos;
}

const GuideText &TEST_authorsGuide()
{
    static const GuideText s_oGuide(std::string(VEKTA_SOURCE_DIR) + "/docs");
    return s_oGuide;
}
