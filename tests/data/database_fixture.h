// A small schema for database tests: two tables with a column of every
// storage, setters that record each call, and helpers to read and write.
#pragma once

#include "data/database.h"

#include <sstream>
#include <string>
#include <vector>

class RecordingSchema {
public:
    RecordingSchema();
    RecordingSchema(const RecordingSchema&) = delete;
    RecordingSchema& operator=(const RecordingSchema&) = delete;

    const SchemaRow* Rows() const { return rows_.data(); }
    // "Table.Column[row]=value" for every setter call, in call order.
    std::vector<std::string> calls;
    // The setters return this.
    bool accept = true;

private:
    std::vector<SchemaRow> rows_;
};

// Alpha: Count (MASTER_VALUE), Enabled (MASTER_FLAG), Grid (MASTER_TABLE),
// Label (MASTER_STRING), Name (MASTER_STRXLAT).
// Beta: Level (Mission_Value), Note (Mission_String, no setter),
// Total (MASTER_VALUE).
class DatabaseTestBase {
protected:
    DatabaseTestBase() {
        db.InitFromSchema(schema.Rows());
        db.SetLog(&log);
    }

    std::string WriteText(KindSelector kind = KindSelector::All, int width = 0) {
        std::string text;
        db.Write(text, kind, width);
        return text;
    }

    RecordingSchema schema;
    Database db;
    std::ostringstream log;
};
