// Writing the database's text file: one block per table, every float in a
// form that reads back to the same bits.
#include "data/database.h"
#include "data/text_scanner.h"

#include "platform/file.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <ostream>
#include <vector>

namespace {

void AppendBlanks(std::string& out, int count) {
    if (count > 0)
        out.append(size_t(count), ' ');
}

// Pads what was appended since start to width, left-aligned.
void PadFrom(std::string& out, size_t start, int width) {
    AppendBlanks(out, width - int(out.size() - start));
}

void AppendInt(std::string& out, int64_t value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendRightAligned(std::string& out, int64_t value, int width) {
    char text[24];
    int length = int(std::to_chars(text, text + sizeof text, value).ptr - text);
    AppendBlanks(out, width - length);
    out.append(text, size_t(length));
}

// The stream's default form (six significant digits) when it reads back to
// the same float, else the shortest form that does.
void AppendFloat(std::string& out, float value) {
    char text[48];
    // Whole numbers below a million are their own six-digit form.
    if (value == std::trunc(value) && std::fabs(value) < 1e6f) {
        if (std::signbit(value) && value == 0.0f)
            out += "-0";
        else
            AppendInt(out, int64_t(value));
        return;
    }
    char* end = std::to_chars(text, text + sizeof text, double(value), std::chars_format::general, 6).ptr;
    float back = 0.0f;
    const char* used = nullptr;
    if (!ParseFloat(text, end, back, &used) || used != end ||
        std::bit_cast<uint32_t>(back) != std::bit_cast<uint32_t>(value))
        end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    out += text;
    out += '"';
}

// A text the file form can hold and read back.
bool Writable(std::string_view text) {
    return text.size() <= TextScanner::kMaxTextLength && text.find('"') == std::string_view::npos;
}

struct ListedColumn {
    const std::string* name;
    const DatabaseColumn* column;
};

class DatabaseWriter {
public:
    DatabaseWriter(const Database& database, KindSelector kind, int width)
        : db_(database), kind_(kind), width_(std::max(width, 2)) {}

    bool Run(std::string& out);

private:
    bool WriteTable(const std::string& name);
    bool CheckCellTexts(const std::string& table, const ListedColumn& column);
    bool Refuse(const std::string& table, const std::string& column, std::string_view what);

    const Database& db_;
    KindSelector kind_;
    int width_;
    std::string out_;
};

bool DatabaseWriter::Run(std::string& out) {
    for (const auto& [name, table] : db_.Tables())
        if (!WriteTable(name))
            return false;
    out.swap(out_);
    return true;
}

bool DatabaseWriter::WriteTable(const std::string& name) {
    const int w = width_;
    const DatabaseTable& table = db_.GetTable(name, kind_);
    std::vector<ListedColumn> listed, tableColumns;
    for (const auto& [columnName, column] : table.columns)
        if (KindSelects(kind_, column.type) && !IsStringType(column.type) && !IsTableType(column.type))
            listed.push_back({&columnName, &column});
    const size_t stringsFrom = listed.size();
    for (const auto& [columnName, column] : table.columns) {
        if (!KindSelects(kind_, column.type))
            continue;
        if (IsTableType(column.type))
            tableColumns.push_back({&columnName, &column});
        else if (IsStringType(column.type))
            listed.push_back({&columnName, &column});
    }
    for (const ListedColumn& column : listed)
        if (!Writable(column.column->comment))
            return Refuse(name, *column.name, "its comment");
    for (const ListedColumn& column : tableColumns)
        if (!Writable(column.column->comment))
            return Refuse(name, *column.name, "its comment");
    for (size_t c = stringsFrom; c < listed.size(); ++c)
        if (!CheckCellTexts(name, listed[c]))
            return false;

    // Header: numbers of four or more characters get a blank in front, so
    // that they never run into their neighbours.
    size_t start = out_.size();
    out_ += name;
    PadFrom(out_, start, w);
    for (int64_t number : {int64_t(table.index), int64_t(listed.size()), int64_t(table.rows.size()),
                           int64_t(tableColumns.size())}) {
        if (number >= 1000 || number <= -100)
            out_ += ' ';
        AppendRightAligned(out_, number, 4);
    }
    out_ += '\n';

    for (const ListedColumn& column : listed) {
        out_ += '\t';
        start = out_.size();
        out_ += *column.name;
        PadFrom(out_, start, w);
    }
    out_ += '\n';

    AppendBlanks(out_, w + 8);
    for (const ListedColumn& column : listed) {
        out_ += '\t';
        start = out_.size();
        out_ += TypeName(column.column->type);
        PadFrom(out_, start, w);
    }
    out_ += '\n';

    // Value and flag columns that have no index yet are shown with the next
    // free one, which is not stored.
    int32_t nextIndex = -1;
    for (const auto& [columnName, column] : table.columns)
        nextIndex = std::max(nextIndex, column.index);
    ++nextIndex;
    AppendBlanks(out_, w + 12);
    for (size_t c = 0; c < stringsFrom; ++c) {
        const DatabaseColumn& column = *listed[c].column;
        int32_t index = column.index == -1 ? nextIndex : column.index;
        out_ += '\t';
        if (IsValueType(column.type)) {
            AppendInt(out_, index);
            out_ += ' ';
            start = out_.size();
            AppendFloat(out_, column.minValue);
            PadFrom(out_, start, w / 2 - 2);
            out_ += "  ";
            start = out_.size();
            AppendFloat(out_, column.maxValue);
            PadFrom(out_, start, w / 2 - 2);
        } else {
            start = out_.size();
            AppendInt(out_, index);
            PadFrom(out_, start, w);
            out_ += ' ';
        }
    }
    for (size_t c = stringsFrom; c < listed.size(); ++c) {
        out_ += '\t';
        start = out_.size();
        AppendInt(out_, listed[c].column->index);
        PadFrom(out_, start, w);
        out_ += ' ';
    }
    out_ += '\n';

    AppendBlanks(out_, w + 12);
    for (size_t c = 0; c < stringsFrom; ++c) {
        out_ += '\t';
        start = out_.size();
        AppendQuoted(out_, listed[c].column->comment);
        PadFrom(out_, start, w);
    }
    for (size_t c = stringsFrom; c < listed.size(); ++c) {
        out_ += '\t';
        AppendBlanks(out_, w);
    }
    out_ += "\n\n";

    // Cells are found by walking each column's cells alongside the rows.
    std::vector<CellMap::const_iterator> cursors;
    for (const ListedColumn& column : listed)
        cursors.push_back(column.column->cells.begin());
    for (int32_t row : table.rows) {
        AppendRightAligned(out_, row, w / 2);
        AppendBlanks(out_, w / 2 + 8);
        for (size_t c = 0; c < listed.size(); ++c) {
            const auto& cells = listed[c].column->cells;
            auto& cursor = cursors[c];
            while (cursor != cells.end() && cursor->first < row)
                ++cursor;
            out_ += '\t';
            WriteCell(out_, cursor != cells.end() && cursor->first == row ? &cursor->second : nullptr, w);
        }
        out_ += '\n';
    }

    for (const ListedColumn& column : tableColumns) {
        out_ += *column.name;
        out_ += '\t';
        out_ += TypeName(column.column->type);
        out_ += "\n\t";
        start = out_.size();
        AppendInt(out_, column.column->index);
        PadFrom(out_, start, w);
        out_ += " \n\t";
        start = out_.size();
        AppendQuoted(out_, column.column->comment);
        PadFrom(out_, start, w);
        out_ += '\n';
        const auto& cells = column.column->cells;
        auto cursor = cells.begin();
        for (int32_t row : table.rows) {
            while (cursor != cells.end() && cursor->first < row)
                ++cursor;
            AppendInt(out_, row);
            out_ += '\t';
            WriteCell(out_, cursor != cells.end() && cursor->first == row ? &cursor->second : nullptr);
            out_ += '\n';
        }
        out_ += '\n';
    }
    out_ += "\n\n";
    return true;
}

bool DatabaseWriter::CheckCellTexts(const std::string& table, const ListedColumn& column) {
    for (const auto& [row, cell] : column.column->cells)
        if (!Writable(cell.Text()) || (IsTranslatedType(cell.Type()) && !Writable(cell.AltText())))
            return Refuse(table, *column.name, "the text of row " + std::to_string(row));
    return true;
}

bool DatabaseWriter::Refuse(const std::string& table, const std::string& column, std::string_view what) {
    if (std::ostream* log = db_.Log()) {
        *log << "FAILED - " << table << " :: " << column << ": " << what
             << " holds a double quote or more than 9998 characters and cannot be written" << std::endl;
    }
    return false;
}

} // namespace

void WriteCell(std::string& out, const DatabaseCell* cell, int width) {
    size_t start = out.size();
    switch (cell ? StorageOf(cell->Type()) : CellStorage::None) {
    case CellStorage::Value:
        if (std::isnan(cell->Value()))
            out += '0';
        else
            AppendFloat(out, cell->Value());
        PadFrom(out, start, width);
        return;
    case CellStorage::String:
        AppendQuoted(out, cell->Text());
        PadFrom(out, start, width);
        if (IsTranslatedType(cell->Type())) {
            out += "  ";
            AppendQuoted(out, cell->AltText());
        }
        return;
    case CellStorage::Flag:
        out += cell->Flag() ? '1' : '0';
        PadFrom(out, start, width);
        return;
    case CellStorage::Table: {
        const ValueTable& table = cell->Table();
        AppendInt(out, table.RowCount());
        PadFrom(out, start, width);
        out += ' ';
        AppendInt(out, table.ColumnCount());
        const std::vector<float>& values = table.Cells();
        for (uint32_t row = 0; row < table.RowCount(); ++row) {
            out += '\n';
            for (uint32_t column = 0; column < table.ColumnCount(); ++column) {
                size_t at = out.size();
                AppendFloat(out, values[size_t(row) * table.ColumnCount() + column]);
                PadFrom(out, at, 4);
                out += ' ';
            }
        }
        out += '\n';
        return;
    }
    case CellStorage::None:
        break;
    }
    out += "????????";
    PadFrom(out, start, width);
}

bool Database::Write(std::string& out, KindSelector kind, int width) {
    return DatabaseWriter(*this, kind, width).Run(out);
}

bool Database::Write(std::ostream& out, KindSelector kind) {
    if (out.fail())
        return false;
    int width = int(std::min<std::streamsize>(out.width(), 1 << 16));
    out.width(0);
    std::string text;
    if (!Write(text, kind, width))
        return false;
    out.write(text.data(), std::streamsize(text.size()));
    out.flush();
    return !out.fail();
}

bool Database::WriteFile(const std::string& path, KindSelector kind) {
    std::string text;
    if (!Write(text, kind))
        return false;
    std::string error;
    if (plat::WriteFileAtomically(path, text, &error))
        return true;
    if (log_)
        *log_ << "FAILED - cannot write " << error << std::endl;
    return false;
}
