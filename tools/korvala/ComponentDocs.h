#pragma once

// What every component name means: one table that `korvala list` prints, that
// docs/components.md is generated from and that the report's group sentences
// come from, so the three cannot disagree.

#include <optional>
#include <string>
#include <vector>

namespace korvala::cli {

struct ComponentDoc {
    const char* name;
    const char* group;    ///< id of its ComponentGroup
    const char* meaning;  ///< what it measures, in plain words
    const char* range;    ///< the values it takes
    const char* unit;     ///< unit, or "-" for a plain ratio
    const char* shapedBy; ///< band edges, time constants and the controls that change it
};

struct ComponentGroup {
    const char* id;
    const char* title;
    const char* sentence; ///< one sentence on what the group's signals mean
};

/// The groups, in the order they are listed and plotted.
const std::vector<ComponentGroup>& componentGroups();
/// Every scalar (44) and vector (8) component, then the felt layer's 8 names,
/// grouped, in listing order.
const std::vector<ComponentDoc>& componentDocs();
/// The entry for `name`, or nullptr.
const ComponentDoc* findComponentDoc(const std::string& name);
/// Plain words on what makes a transition fire.
const char* transitionExplanation();

/// The listing for a terminal (only `names` if not empty; names must exist).
std::string componentListText(const std::vector<std::string>& names = {});
/// The whole listing as Markdown: the text of docs/components.md.
std::string componentListMarkdown();

/// The name among `names` that `wrong` most likely meant: the same name in
/// another case, or the closest one within a few edits; absent if none is close.
std::optional<std::string> nearestName(const std::string& wrong,
                                       const std::vector<std::string>& names);

/// `wanted` as `names` spell it, matched in any case; absent if none matches.
std::optional<std::string> matchAnyCase(const std::string& wanted,
                                        const std::vector<std::string>& names);

} // namespace korvala::cli
