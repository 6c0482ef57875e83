#include "host/cli/batch_report.h"

#include <nlohmann/json.hpp>

namespace kzv::cli {

std::string report_line(const ImportRecord& record) {
    using Json = nlohmann::ordered_json;
    Json line;
    line["input"] = record.input;
    line["status"] = record.imported ? "imported" : "failed";
    if (record.imported) {
        line["output"] = record.output;
    } else {
        line["error"] = {{"number", record.error_number}, {"description", record.error_description}};
    }
    line["warnings"] = record.warnings;
    line["seconds"] = record.seconds;
    if (record.counts) {
        const host::SceneCounts& c = *record.counts;
        line["group_nodes"] = c.group_nodes;
        line["mesh_nodes"] = c.mesh_nodes;
        line["polygons"] = c.polygons;
        line["corners"] = c.corners;
        line["cameras"] = c.cameras;
        line["lights"] = c.lights;
        line["tracks"] = c.tracks;
        line["bitmaps"] = c.bitmaps;
    }
    // Names and messages may carry bytes that are not UTF-8 (file names, the scene's texts).
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void ReportWriter::add(std::size_t index, std::string line) {
    const std::lock_guard lock(mutex_);
    if (index >= pending_.size() || pending_[index]) return;
    pending_[index] = std::move(line);
    for (; next_ < pending_.size() && pending_[next_]; ++next_) {
        out_ << *pending_[next_] << '\n';
        *pending_[next_] = std::string();  // written: the mark stays, the text goes
    }
    out_.flush();
}

bool ReportWriter::good() const {
    const std::lock_guard lock(mutex_);
    return static_cast<bool>(out_);
}

}  // namespace kzv::cli
