#include "show.h"

#include "description/host_versions.h"
#include "json.h"

namespace tamrick {

std::string ShowJson(const DescriptionRead& read) {
    const ParsedDescription& d = read.description;
    std::string out = "{\n";
    out += "  \"result\": ";
    out += read.result ? "true" : "false";
    out += ",\n  \"message\": ";
    out += read.missing ? json::String(kMissingDescriptionMessage) : "null";
    out += ",\n  \"encoding\": \"";
    out += EncodingName(read.description.encoding);
    out += "\",\n  \"setupTitle\": " + json::String(d.SetupTitle);
    out += ",\n  \"flagsPicture\": " + json::String(d.FlagsPicture);
    // The versions named: none (empty versions) means X3 alone, as without the key.
    out += ",\n  \"hostVersions\": ";
    out += d.HostVersions ? "{\"value\": " + json::String(*d.HostVersions) + ", \"versions\": " +
                                json::HostVersions(ParseHostVersions(*d.HostVersions).majors) + "}"
                          : std::string("null");
    if (d.AddonId) {
        // What the installer makes of the add-on's keys: its own defaults and its test of the id.
        SharedState state;
        ApplyDescription(d, state);
        out += ",\n  \"addon\": {\"id\": " + json::String(*d.AddonId);
        out += std::string(", \"valid\": ") + (state.AddonId.empty() ? "false" : "true");
        out += ", \"line\": " + std::to_string(d.AddonIdLine);
        out += ", \"name\": " + json::String(state.AddonName);
        out += ", \"version\": " + json::String(state.AddonVersion);
        out += ", \"publisher\": " + json::String(state.Publisher) + "}";
    }
    out += ",\n  \"fileItems\": ";
    if (!d.FileItems) {
        out += "null\n}\n";
        return out;
    }
    out += "[";
    for (std::size_t i = 0; i < d.FileItems->size(); ++i) {
        const FileItem& item = (*d.FileItems)[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"action\": " + json::String(item.Action);
        out += ", \"sourceName\": " + json::String(item.SourceName);
        out += ", \"required\": " + json::String(item.Required);
        out += ", \"target\": " + json::String(item.Target);
        out += ", \"stepCaption\": " + json::String(item.StepCaption);
        out += ", \"line\": ";
        out += d.ItemLines[i] == 0 ? "null" : std::to_string(d.ItemLines[i]);
        out += "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

} // namespace tamrick
