#include "TrackOutput.h"

#include "CsvWriter.h"
#include "VtpWriter.h"
#include "ZrpWriter.h"

namespace {

// The line-oriented formats.
template <typename Format>
class TextOutput : public TrackOutput {
public:
    OutputNeeds needs() const override { return format.needs(); }
    void begin(const TrackLayout& layout) override { format.begin(layout); }
    void write(std::ostream& out, const TrackLayout& layout, PointStore& store, WorkQueue& queue,
               std::size_t pieceBytes, const Progress& progress) override {
        writeText(out, layout, store, format, queue, pieceBytes, progress);
    }

private:
    Format format;
};

class VtpOutput : public TrackOutput {
public:
    OutputNeeds needs() const override { return vtpNeeds(); }
    void begin(const TrackLayout& layout) override { checkVtpNames(layout); }
    void write(std::ostream& out, const TrackLayout& layout, PointStore& store, WorkQueue&, std::size_t,
               const Progress& progress) override {
        writeVtp(out, layout, store, progress);
    }
};

}  // namespace

std::unique_ptr<TrackOutput> makeOutput(OutputFormat format) {
    switch (format) {
        case OutputFormat::Zrp: return std::make_unique<TextOutput<ZrpFormat>>();
        case OutputFormat::Csv: return std::make_unique<TextOutput<CsvFormat>>();
        case OutputFormat::Vtp: return std::make_unique<VtpOutput>();
    }
    return nullptr;
}
