#include "TrackOutput.h"

#include <stdexcept>

#include "CsvWriter.h"
#include "VtkArrayNames.h"
#include "VtkHdfWriter.h"
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
    OutputNeeds needs() const override { return vtkPointNeeds(); }
    void begin(const TrackLayout& layout) override {
        checkVtkArrayNames(layout, xmlTextProblem, "cannot be written in a VTK XML file");
    }
    void write(std::ostream& out, const TrackLayout& layout, PointStore& store, WorkQueue&, std::size_t,
               const Progress& progress) override {
        writeVtp(out, layout, store, progress);
    }
};

class VtkHdfOutput : public TrackOutput {
public:
    OutputNeeds needs() const override { return vtkPointNeeds(); }
    void begin(const TrackLayout& layout) override {
        checkVtkArrayNames(layout, datasetNameProblem, "cannot name an array of a VTK HDF file");
    }
    void write(std::ostream&, const TrackLayout&, PointStore&, WorkQueue&, std::size_t, const Progress&) override {
        throw std::logic_error("VTK HDF is written by the file's name");
    }
    bool writesByName() const override { return true; }
    void writeNamed(const OutputFile::Named& file, const TrackLayout& layout, PointStore& store, std::size_t pieceBytes,
                    const Progress& progress) override {
        writeVtkHdf(file.path, file.create, layout, store, pieceBytes, progress);
    }
};

}  // namespace

void TrackOutput::writeNamed(const OutputFile::Named&, const TrackLayout&, PointStore&, std::size_t, const Progress&) {
    throw std::logic_error("this output is written to a stream");
}

std::unique_ptr<TrackOutput> makeOutput(OutputFormat format) {
    switch (format) {
        case OutputFormat::Zrp: return std::make_unique<TextOutput<ZrpFormat>>();
        case OutputFormat::Csv: return std::make_unique<TextOutput<CsvFormat>>();
        case OutputFormat::Vtp: return std::make_unique<VtpOutput>();
        case OutputFormat::VtkHdf: return std::make_unique<VtkHdfOutput>();
    }
    return nullptr;
}
