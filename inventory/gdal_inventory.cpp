#include "gdal_inventory.h"

#include "base/ascii_case.h"
#include "base/read_problem.h"
#include "inventory/sqlite_db.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tavelo {

namespace {

// What GDAL reports while it is in scope, instead of printing it. GDAL keeps
// its error handlers per thread, so this holds for the calls made here only.
class GdalMessages {
public:
    GdalMessages() { CPLPushErrorHandlerEx(&GdalMessages::collect, this); }
    ~GdalMessages() { CPLPopErrorHandler(); }
    GdalMessages(const GdalMessages &) = delete;
    GdalMessages &operator=(const GdalMessages &) = delete;

    bool failed() const { return !failures_.empty(); }
    bool warned() const { return !warnings_.empty(); }
    std::string failures() const { return joined(failures_); }
    std::string warnings() const { return joined(warnings_); }
    void clear()
    {
        failures_.clear();
        warnings_.clear();
    }

private:
    static void CPL_STDCALL collect(CPLErr level, CPLErrorNum, const char *message)
    {
        auto *self = static_cast<GdalMessages *>(CPLGetErrorHandlerUserData());
        if (level == CE_Warning)
            self->warnings_.emplace_back(message ? message : "");
        else if (level >= CE_Failure)
            self->failures_.emplace_back(message ? message : "");
    }
    static std::string joined(const std::vector<std::string> &messages)
    {
        std::string s;
        for (const std::string &m : messages)
            s += (s.empty() ? "" : "; ") + m;
        return s;
    }
    std::vector<std::string> failures_;
    std::vector<std::string> warnings_;
};

// What is wrong with the GIS inventory at `path`, thrown with its kind.
[[noreturn]] void refuseGdalInventory(ReadProblem::Kind kind, const std::filesystem::path &path,
                                      std::string where = {}, std::string value = {})
{
    ReadProblem p;
    p.kind = kind;
    p.file = path.string();
    p.path = std::move(where);
    p.value = std::move(value);
    throw ReadError(std::move(p));
}

// A file GDAL cannot open, with GDAL's own reason when it gave one.
[[noreturn]] void refuseUnreadable(const std::filesystem::path &path, const GdalMessages &messages)
{
    ReadProblem p;
    p.kind = ReadProblem::Kind::CannotRead;
    p.file = path.string();
    p.detail = messages.failures();
    throw ReadError(std::move(p));
}

bool ourResultsTable(const std::string &name)
{
    return asciiLowerCase(name).rfind("tavelo_", 0) == 0;
}

// The layer a run reads: the one asked for, else "stands", else the only one.
OGRLayer *chooseLayer(GDALDataset &ds, const std::filesystem::path &path, const std::string &wanted)
{
    std::vector<OGRLayer *> layers;
    for (int i = 0; i < ds.GetLayerCount(); ++i)
        if (OGRLayer *l = ds.GetLayer(i))
            layers.push_back(l);
    auto names = [&] {
        std::string s;
        for (OGRLayer *l : layers)
            s += (s.empty() ? "" : ", ") + std::string("\"") + l->GetName() + "\"";
        return s;
    };
    if (!wanted.empty()) {
        // A view or a table GDAL does not list may still be found by name.
        if (OGRLayer *l = ds.GetLayerByName(wanted.c_str()))
            return l;
        refuseGdalInventory(ReadProblem::Kind::NoSuchLayer, path, wanted, names());
    }
    for (OGRLayer *l : layers)
        if (std::string(l->GetName()) == "stands")
            return l;
    // The results a run wrote into the same file are never its stands.
    std::vector<OGRLayer *> candidates;
    std::copy_if(layers.begin(), layers.end(), std::back_inserter(candidates),
                 [](OGRLayer *l) { return !ourResultsTable(l->GetName()); });
    if (candidates.size() == 1)
        return candidates.front();
    if (candidates.empty())
        refuseGdalInventory(ReadProblem::Kind::NoLayer, path);
    refuseGdalInventory(ReadProblem::Kind::SeveralLayers, path, {}, names());
}

class GdalInventory : public InventorySource {
public:
    GdalInventory(const std::filesystem::path &path, const std::string &wanted) : path_(path)
    {
        GDALAllRegister();
        GdalMessages messages;
        ds_.reset(GDALDataset::FromHandle(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                                     nullptr, nullptr, nullptr)));
        if (!ds_)
            refuseUnreadable(path, messages);
        layer_ = chooseLayer(*ds_, path, wanted);
        name_ = layer_->GetName();
        const bool shapefile = ds_->GetDriver() && std::string(ds_->GetDriver()->GetDescription()) == "ESRI Shapefile";
        OGRFeatureDefn *defn = layer_->GetLayerDefn();
        for (const char *column : kInventoryColumns) {
            const std::string want = asciiLowerCase(column);
            int found = -1;
            for (int f = 0; f < defn->GetFieldCount() && found < 0; ++f)
                if (defn->GetFieldDefn(f)->GetNameRef() == std::string(column))
                    found = f;
            for (int f = 0; f < defn->GetFieldCount() && found < 0; ++f)
                if (asciiLowerCase(defn->GetFieldDefn(f)->GetNameRef()) == want)
                    found = f;
            // A Shapefile cuts column names to 10 characters.
            for (int f = 0; shapefile && want.size() > 10 && f < defn->GetFieldCount() && found < 0; ++f)
                if (asciiLowerCase(defn->GetFieldDefn(f)->GetNameRef()) == want.substr(0, 10))
                    found = f;
            if (found < 0)
                refuseGdalInventory(ReadProblem::Kind::LayerColumnMissing, path, column, name_);
            fields_.push_back(found);
        }
        // The optional area column is read after the ten, and taken off the cells.
        for (int f = 0; f < defn->GetFieldCount(); ++f)
            if (asciiLowerCase(defn->GetFieldDefn(f)->GetNameRef()) == kInventoryAreaColumn) {
                fields_.push_back(f);
                hasArea_ = true;
                break;
            }
        geometryType_ = wkbFlatten(layer_->GetGeomType());
        multiPolygons_ = shapefile && geometryType_ == wkbPolygon;
        if (multiPolygons_)
            geometryType_ = wkbMultiPolygon;
        if (geometryType_ != wkbNone) {
            if (const OGRSpatialReference *srs = layer_->GetSpatialRef()) {
                InventoryCrs crs;
                if (const char *authority = srs->GetAuthorityName(nullptr)) {
                    if (const char *code = srs->GetAuthorityCode(nullptr)) {
                        crs.organization = authority;
                        crs.code = std::atoll(code);
                    }
                }
                char *wkt = nullptr;
                if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt)
                    crs.wkt = wkt;
                CPLFree(wkt);
                crs_ = crs;
            } else if (shapefile) {
                noteUnreadablePrj(messages);
            }
        }
        findMisplacedValues();
        const GIntBig count = layer_->GetFeatureCount(TRUE);
        count_ = count > 0 ? static_cast<size_t>(count) : 0;
        layer_->ResetReading();
        if (messages.failed()) {
            ReadProblem p;
            p.kind = ReadProblem::Kind::LayerUnreadable;
            p.file = path.string();
            p.value = name_;
            p.detail = messages.failures();
            throw ReadError(std::move(p));
        }
    }

    // SQLite keeps whatever is stored in a number column, and GDAL reads a
    // text or a blob there as 0: such cells are found by their storage class
    // first, so that their rows are refused rather than read as zeros.
    void findMisplacedValues()
    {
        const std::string driver = ds_->GetDriver() ? ds_->GetDriver()->GetDescription() : "";
        // A table without an integer key is read in rowid order, rowid as its FID.
        std::string fid = layer_->GetFIDColumn() ? layer_->GetFIDColumn() : "";
        if (fid.empty())
            fid = "rowid";
        if (driver != "GPKG" && driver != "SQLite")
            return;
        GdalMessages quiet; // a layer this cannot be asked of (a view without rowid) is read as GDAL reads it
        auto quoted = [](const std::string &name) {
            std::string q = "\"";
            for (char c : name)
                q += c == '"' ? std::string("\"\"") : std::string(1, c);
            return q + "\"";
        };
        OGRFeatureDefn *defn = layer_->GetLayerDefn();
        for (size_t c = 0; c < fields_.size(); ++c) {
            const OGRFieldType type = defn->GetFieldDefn(fields_[c])->GetType();
            if (type != OFTInteger && type != OFTInteger64 && type != OFTReal)
                continue;
            const std::string column = defn->GetFieldDefn(fields_[c])->GetNameRef();
            // GDAL may take the key column as each result's FID.
            const std::string sql = "SELECT " + (fid == "rowid" ? fid : quoted(fid)) + " AS tavelo_key, typeof(" +
                                    quoted(column) + ") AS kind FROM " +
                                    quoted(name_) + " WHERE typeof(" + quoted(column) +
                                    ") NOT IN ('integer', 'real', 'null')";
            OGRLayer *found = ds_->ExecuteSQL(sql.c_str(), nullptr, nullptr); // the file's own SQLite
            if (!found)
                continue;
            while (OGRFeatureUniquePtr f{found->GetNextFeature()}) {
                const int kind = f->GetFieldIndex("kind");
                const bool blob = kind >= 0 && std::string(f->GetFieldAsString(kind)) == "blob";
                const int key = f->GetFieldIndex("tavelo_key");
                misplaced_.emplace(key >= 0 ? f->GetFieldAsInteger64(key) : f->GetFID(),
                                   rowProblem(blob ? ReadProblem::Kind::BinaryInNumberColumn
                                                   : ReadProblem::Kind::TextInNumberColumn,
                                              {}, column));
            }
            ds_->ReleaseResultSet(found);
        }
    }

    // A shapefile whose .prj GDAL could not make sense of: the stands can
    // still be read, without a reference system, and the caller is told
    // (GDAL passes over some such files in silence).
    void noteUnreadablePrj(GdalMessages &messages)
    {
        std::filesystem::path prj = path_;
        for (const char *extension : {".prj", ".PRJ"}) {
            std::error_code ec;
            if (std::filesystem::is_regular_file(prj.replace_extension(extension), ec)) {
                std::string detail = messages.failures();
                if (messages.warned())
                    detail += (detail.empty() ? "" : "; ") + messages.warnings();
                warnings_.push_back({InventoryWarning::Kind::UnreadableReferenceSystem, prj, detail});
                messages.clear(); // said with the warning
                return;
            }
        }
    }

    std::vector<InventoryWarning> warnings() const override { return warnings_; }
    size_t count() const override { return count_; }
    bool hasArea() const override { return hasArea_; }
    // Every feature read once, its cells as next() gives them and its geometry,
    // then the layer read again from its start.
    InventoryFingerprint fingerprint() override
    {
        ContentHash hash;
        InventoryRow row;
        size_t rows = 0;
        layer_->ResetReading();
        rowNo_ = 0;
        while (next(row)) {
            ++rows;
            if (const auto *cells = std::get_if<std::vector<std::string>>(&row.cells)) {
                for (const std::string &cell : *cells)
                    hash.addCell(cell);
            } else {
                hash.addCell("!" + englishText(std::get<ReadProblem>(row.cells)));
            }
            hash.addCell(row.geometry.wkb);
        }
        layer_->ResetReading();
        rowNo_ = 0;
        return {rows, hash.hex()};
    }
    std::string layer() const override { return name_; }
    std::optional<InventoryCrs> crs() const override { return crs_; }
    std::string geometryType() const override
    {
        return geometryType_ == wkbNone ? std::string() : std::string(OGRToOGCGeomType(geometryType_));
    }

    bool next(InventoryRow &row) override
    {
        GdalMessages messages;
        OGRFeatureUniquePtr feature(layer_->GetNextFeature());
        const size_t number = rowNo_ + 1;
        if (messages.failed()) {
            ReadProblem p;
            p.kind = ReadProblem::Kind::FeatureUnreadable;
            p.file = path_.string();
            p.value = name_;
            p.found = static_cast<long long>(number);
            p.path = feature ? std::to_string(feature->GetFID()) : std::string();
            p.detail = messages.failures();
            throw ReadError(std::move(p));
        }
        if (!feature)
            return false;
        ++rowNo_;
        row = InventoryRow{};
        row.line = rowNo_;
        std::vector<std::string> cells;
        cells.reserve(fields_.size());
        std::optional<ReadProblem> why;
        for (size_t c = 0; c < fields_.size(); ++c) {
            const int f = fields_[c];
            const char *column = c < std::size(kInventoryColumns) ? kInventoryColumns[c] : kInventoryAreaColumn;
            std::string text;
            if (feature->IsFieldSetAndNotNull(f)) {
                switch (feature->GetFieldDefnRef(f)->GetType()) {
                case OFTInteger:
                case OFTInteger64: text = std::to_string(feature->GetFieldAsInteger64(f)); break;
                case OFTReal: text = shortestNumberText(feature->GetFieldAsDouble(f)); break;
                case OFTString: text = feature->GetFieldAsString(f); break;
                case OFTBinary:
                    if (!why)
                        why = rowProblem(ReadProblem::Kind::CellBinary, {}, column);
                    break;
                default:
                    if (!why)
                        why = rowProblem(ReadProblem::Kind::CellNotTextOrNumber, {}, column);
                }
            }
            cells.push_back(std::move(text));
        }
        if (hasArea_) {
            row.area = std::move(cells.back());
            cells.pop_back();
        }
        row.rawId = cells[0];
        // A value GDAL had to change to read it (a text in a number column) is not the value typed.
        if (!why && messages.warned()) {
            why = rowProblem(ReadProblem::Kind::GdalChangedValue);
            why->detail = messages.warnings();
        }
        if (const auto m = misplaced_.find(feature->GetFID()); !why && m != misplaced_.end())
            why = m->second;
        if (why)
            row.cells = std::move(*why);
        else
            row.cells = std::move(cells);
        if (OGRGeometry *g = feature->GetGeometryRef(); g && !g->IsEmpty() && geometryType_ != wkbNone) {
            std::unique_ptr<OGRGeometry> shape(g->clone());
            shape->flattenTo2D();
            if (multiPolygons_)
                shape.reset(OGRGeometryFactory::forceToMultiPolygon(shape.release()));
            row.geometry = standGeometryOf(*shape);
        }
        return true;
    }

private:
    std::filesystem::path path_;
    GDALDatasetUniquePtr ds_;
    OGRLayer *layer_ = nullptr;
    std::string name_;
    std::vector<int> fields_;
    std::map<GIntBig, ReadProblem> misplaced_; // by FID: why a number cell cannot be read
    bool hasArea_ = false;
    OGRwkbGeometryType geometryType_ = wkbNone;
    bool multiPolygons_ = false;
    std::optional<InventoryCrs> crs_;
    std::vector<InventoryWarning> warnings_;
    size_t count_ = 0;
    size_t rowNo_ = 0;
};

} // namespace

bool gdalReadsInventory(const std::filesystem::path &path)
{
    std::error_code ec;
    if (asciiLowerCase(path.extension().string()) == ".csv" || !std::filesystem::is_regular_file(path, ec))
        return false;
    GDALAllRegister();
    GdalMessages quiet;
    return GDALIdentifyDriverEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr) != nullptr;
}

std::vector<std::string> gdalLayerNames(const std::filesystem::path &path)
{
    GDALAllRegister();
    GdalMessages messages;
    GDALDatasetUniquePtr ds(GDALDataset::FromHandle(
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr, nullptr)));
    if (!ds)
        refuseUnreadable(path, messages);
    std::vector<std::string> names;
    for (int i = 0; i < ds->GetLayerCount(); ++i)
        if (OGRLayer *l = ds->GetLayer(i); l && !ourResultsTable(l->GetName()))
            names.emplace_back(l->GetName());
    return names;
}

std::string gdalOpenFailure(const std::filesystem::path &path)
{
    GDALAllRegister();
    GdalMessages messages;
    GDALDatasetUniquePtr ds(GDALDataset::FromHandle(
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr, nullptr)));
    return ds ? std::string() : messages.failures();
}

StandGeometry standGeometryOf(const OGRGeometry &shape)
{
    StandGeometry g;
    g.wkb.resize(shape.WkbSize());
    shape.exportToWkb(wkbNDR, reinterpret_cast<unsigned char *>(g.wkb.data()), wkbVariantIso);
    OGREnvelope e;
    shape.getEnvelope(&e);
    g.minX = e.MinX;
    g.minY = e.MinY;
    g.maxX = e.MaxX;
    g.maxY = e.MaxY;
    return g;
}

std::unique_ptr<InventorySource> openGdalInventory(const std::filesystem::path &path, const std::string &layer)
{
    return std::make_unique<GdalInventory>(path, layer);
}

} // namespace tavelo
