#include "path/run_tables.h"

#include <cstring>
#include <new>

#include "input/lines.h"
#include "input/messages.h"

namespace ils {
namespace {

int cannotWrite(RunData& rd, const char* path) {
    logMessage(rd.messageLog, "ERROR! Cannot write scratch file %s\n", path);
    return -1;
}

int cannotRead(RunData& rd, const char* path) {
    logMessage(rd.messageLog, "ERROR! Cannot read scratch file %s\n", path);
    return -1;
}

int scratchPath(RunData& rd, char* out, const char* name) {
    if (formatPath(out, "%s%s", rd.scratchDirectory, name) < 0) {
        logMessage(rd.messageLog, "ERROR! Scratch file path too long: %s%s\n", rd.scratchDirectory,
                   name);
        return -1;
    }
    return 0;
}

template <typename Entry>
bool allocateInMemory(RunData& rd, RunTable<Entry>& table, int32_t n) {
    table.entries.clear();
    table.entries.shrink_to_fit();
    if (rd.forceFileStorage) return false;
    try {
        table.entries.assign(static_cast<size_t>(n), Entry{});
    } catch (const std::bad_alloc&) {
        table.entries.clear();
        return false;
    } catch (const std::length_error&) {
        table.entries.clear();
        return false;
    }
    return true;
}

}  // namespace

int createRunTables(RunData& rd, int32_t n) {
    releaseRunTables(rd);
    if (n < 0) n = 0;
    rd.pointTable.held = true;
    rd.pointTable.inMemory = allocateInMemory(rd, rd.pointTable, n);
    if (!rd.pointTable.inMemory) {
        if (scratchPath(rd, rd.pointTable.path, "flight.tmp") != 0) return -1;
        rd.pointTable.writer = std::fopen(rd.pointTable.path, "wb");
        if (rd.pointTable.writer == nullptr) return cannotWrite(rd, rd.pointTable.path);
    }
    rd.fieldTable.held = true;
    rd.fieldTable.inMemory = allocateInMemory(rd, rd.fieldTable, n);
    if (!rd.fieldTable.inMemory) {
        if (scratchPath(rd, rd.fieldTable.path, "fields.tmp") != 0) return -1;
        if (scratchPath(rd, rd.fieldPassPath, "fields1.tmp") != 0) return -1;
        FILE* f = std::fopen(rd.fieldTable.path, "wb");
        if (f == nullptr) return cannotWrite(rd, rd.fieldTable.path);
        const FieldRecord zero{};
        bool ok = true;
        for (int32_t i = 0; i < n && ok; ++i) ok = std::fwrite(&zero, sizeof zero, 1, f) == 1;
        ok = (std::fclose(f) == 0) && ok;
        if (!ok) return cannotWrite(rd, rd.fieldTable.path);
    }
    return 0;
}

int storePoint(RunData& rd, int32_t i, const ObservationPoint& p) {
    if (rd.pointTable.inMemory) {
        rd.pointTable.entries[static_cast<size_t>(i)] = p;
        return 0;
    }
    if (rd.pointTable.writer == nullptr || std::fwrite(&p, sizeof p, 1, rd.pointTable.writer) != 1)
        return cannotWrite(rd, rd.pointTable.path);
    return 0;
}

int finishPoints(RunData& rd) {
    if (rd.pointTable.writer == nullptr) return 0;
    const bool ok = std::fclose(rd.pointTable.writer) == 0;
    rd.pointTable.writer = nullptr;
    return ok ? 0 : cannotWrite(rd, rd.pointTable.path);
}

int openPoints(RunData& rd, PointCursor& cursor) {
    cursor.index = 0;
    cursor.file = nullptr;
    if (rd.pointTable.inMemory) return 0;
    cursor.file = std::fopen(rd.pointTable.path, "rb");
    return cursor.file == nullptr ? cannotRead(rd, rd.pointTable.path) : 0;
}

int nextPoint(RunData& rd, PointCursor& cursor, ObservationPoint& p) {
    if (rd.pointTable.inMemory) {
        if (cursor.index >= static_cast<int32_t>(rd.pointTable.entries.size()))
            return cannotRead(rd, "(point table)");
        p = rd.pointTable.entries[static_cast<size_t>(cursor.index++)];
        return 0;
    }
    if (cursor.file == nullptr || std::fread(&p, sizeof p, 1, cursor.file) != 1)
        return cannotRead(rd, rd.pointTable.path);
    ++cursor.index;
    return 0;
}

int rewindPoints(RunData& rd, PointCursor& cursor) {
    cursor.index = 0;
    if (cursor.file != nullptr && std::fseek(cursor.file, 0, SEEK_SET) != 0)
        return cannotRead(rd, rd.pointTable.path);
    return 0;
}

void closePoints(PointCursor& cursor) {
    if (cursor.file != nullptr) std::fclose(cursor.file);
    cursor.file = nullptr;
}

int beginPointUpdate(RunData& rd, FILE*& in, FILE*& out, char* tmpPath) {
    if (scratchPath(rd, tmpPath, "flight1.tmp") != 0) return -1;
    in = std::fopen(rd.pointTable.path, "rb");
    if (in == nullptr) return cannotRead(rd, rd.pointTable.path);
    out = std::fopen(tmpPath, "wb");
    if (out == nullptr) {
        std::fclose(in);
        return cannotWrite(rd, tmpPath);
    }
    return 0;
}

int endPointUpdate(RunData& rd, FILE* in, FILE* out, const char* tmpPath, int status) {
    std::fclose(in);
    if (std::fclose(out) != 0 && status == 0) status = -2;
    if (status == -1) {
        std::remove(tmpPath);
        return cannotRead(rd, rd.pointTable.path);
    }
    if (status != 0) {
        std::remove(tmpPath);
        return cannotWrite(rd, tmpPath);
    }
    std::remove(rd.pointTable.path);
    if (std::rename(tmpPath, rd.pointTable.path) != 0) return cannotWrite(rd, rd.pointTable.path);
    return 0;
}

int beginFieldPass(RunData& rd, FieldPass& pass) {
    pass.index = 0;
    pass.in = pass.out = nullptr;
    if (rd.fieldTable.inMemory) return 0;
    pass.in = std::fopen(rd.fieldTable.path, "rb");
    if (pass.in == nullptr) return cannotRead(rd, rd.fieldTable.path);
    pass.out = std::fopen(rd.fieldPassPath, "wb");
    if (pass.out == nullptr) {
        abortFieldPass(pass);
        return cannotWrite(rd, rd.fieldPassPath);
    }
    return 0;
}

FieldRecord* fieldPassRecord(RunData& rd, FieldPass& pass) {
    if (rd.fieldTable.inMemory) {
        if (pass.index >= static_cast<int32_t>(rd.fieldTable.entries.size())) {
            cannotRead(rd, "(field table)");
            return nullptr;
        }
        return &rd.fieldTable.entries[static_cast<size_t>(pass.index)];
    }
    if (std::fread(&pass.buffer, sizeof pass.buffer, 1, pass.in) != 1) {
        cannotRead(rd, rd.fieldTable.path);
        return nullptr;
    }
    return &pass.buffer;
}

int fieldPassStore(RunData& rd, FieldPass& pass) {
    ++pass.index;
    if (rd.fieldTable.inMemory) return 0;
    if (std::fwrite(&pass.buffer, sizeof pass.buffer, 1, pass.out) != 1)
        return cannotWrite(rd, rd.fieldPassPath);
    return 0;
}

int endFieldPass(RunData& rd, FieldPass& pass) {
    if (rd.fieldTable.inMemory) return 0;
    std::fclose(pass.in);
    pass.in = nullptr;
    const bool ok = std::fclose(pass.out) == 0;
    pass.out = nullptr;
    if (!ok) return cannotWrite(rd, rd.fieldPassPath);
    std::remove(rd.fieldTable.path);
    if (std::rename(rd.fieldPassPath, rd.fieldTable.path) != 0)
        return cannotWrite(rd, rd.fieldTable.path);
    return 0;
}

void abortFieldPass(FieldPass& pass) {
    if (pass.in != nullptr) std::fclose(pass.in);
    if (pass.out != nullptr) std::fclose(pass.out);
    pass.in = pass.out = nullptr;
}

int openFieldReader(RunData& rd, FieldReader& reader) {
    reader.index = 0;
    reader.file = nullptr;
    if (rd.fieldTable.inMemory) return 0;
    reader.file = std::fopen(rd.fieldTable.path, "rb");
    return reader.file == nullptr ? cannotRead(rd, rd.fieldTable.path) : 0;
}

int nextFieldRecord(RunData& rd, FieldReader& reader, FieldRecord& record) {
    if (rd.fieldTable.inMemory) {
        if (reader.index >= static_cast<int32_t>(rd.fieldTable.entries.size()))
            return cannotRead(rd, "(field table)");
        record = rd.fieldTable.entries[static_cast<size_t>(reader.index++)];
        return 0;
    }
    if (reader.file == nullptr || std::fread(&record, sizeof record, 1, reader.file) != 1)
        return cannotRead(rd, rd.fieldTable.path);
    ++reader.index;
    return 0;
}

void closeFieldReader(FieldReader& reader) {
    if (reader.file != nullptr) std::fclose(reader.file);
    reader.file = nullptr;
}

int storeMultipathMagnitudes(RunData& rd) {
    FieldPass pass;
    if (beginFieldPass(rd, pass) != 0) return -1;
    for (int32_t i = 0; i < rd.pointCount; ++i) {
        FieldRecord* r = fieldPassRecord(rd, pass);
        if (r == nullptr) {
            abortFieldPass(pass);
            return -1;
        }
        for (int s = 0; s < 3; ++s) {
            r->slot[12 + s] = Complex(std::abs(r->slot[6 + 2 * s]), std::abs(r->slot[7 + 2 * s]));
        }
        if (fieldPassStore(rd, pass) != 0) {
            abortFieldPass(pass);
            return -1;
        }
    }
    return endFieldPass(rd, pass);
}

void releaseRunTables(RunData& rd) {
    if (rd.pointTable.writer != nullptr) {
        std::fclose(rd.pointTable.writer);
        rd.pointTable.writer = nullptr;
    }
    auto release = [](auto& table) {
        if (table.held && !table.inMemory && table.path[0] != '\0') std::remove(table.path);
        table.entries.clear();
        table.entries.shrink_to_fit();
        table.held = false;
        table.inMemory = false;
        table.path[0] = '\0';
    };
    release(rd.pointTable);
    release(rd.movingTable);
    release(rd.fieldTable);
    if (rd.fieldPassPath[0] != '\0') std::remove(rd.fieldPassPath);
    rd.fieldPassPath[0] = '\0';
}

}  // namespace ils
