#include "tools/korvala/Commands.h"
#include "tools/korvala/ComponentDocs.h"
#include "tools/korvala/ToolError.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace korvala::cli {

namespace {
struct ListArgs {
    std::string format = "text";
    std::vector<std::string> names;
};

std::vector<std::string> documentedNames() {
    std::vector<std::string> names;
    for (const ComponentDoc& doc : componentDocs()) {
        names.emplace_back(doc.name);
    }
    return names;
}
} // namespace

CommandRun addListCommand(CLI::App& app) {
    auto args = std::make_shared<ListArgs>();
    CLI::App* cmd =
        app.add_subcommand("list", "Explain every component: meaning, range, unit, what shapes it");
    cmd->add_option("NAME", args->names, "Only these components (any case)");
    cmd->add_option("--format", args->format, "text, or markdown (the text of docs/components.md)")
        ->check(CLI::IsMember({"text", "markdown"}))
        ->capture_default_str();
    return [cmd, args]() -> int {
        if (!*cmd) {
            return -1;
        }
        const std::vector<std::string> known = documentedNames();
        std::vector<std::string> picked;
        for (const std::string& wanted : args->names) {
            const std::optional<std::string> match = matchAnyCase(wanted, known);
            if (!match) {
                const std::optional<std::string> near = nearestName(wanted, known);
                throw UsageError("list: unknown component '" + wanted + "'" +
                                 (near ? "; did you mean " + *near + "?" : ""));
            }
            picked.push_back(*match);
        }
        if (args->format == "markdown") {
            if (!picked.empty()) {
                throw UsageError("list: --format markdown prints the whole table; drop the names");
            }
            std::cout << componentListMarkdown();
        } else {
            std::cout << componentListText(picked);
        }
        return 0;
    };
}

} // namespace korvala::cli
