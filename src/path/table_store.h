// One storage type for the run's tables with one entry per ObservationPoint
// (the PointTable, the FieldTable and the moving-scatterer table): in memory,
// or, when memory runs short, in a scratch file of fixed-size raw entries
// back to back in point order. Users see contiguous blocks of entries in
// point order whatever the storage:
//
//   TableStore<E>::Reader r;  r.open(store, log);      // read-only visit
//     while (auto block = r.next(max)) ...               // block.size() <= max
//   TableStore<E>::Pass p;    p.begin(store, log);     // a field pass
//     for each block: span = p.next(max); ...add...; p.commit();
//     p.finish();  // file storage: close, delete the file, rename the pass file
//
// A pass writes every entry to the pass file ("fields1.tmp" for the
// FieldTable), also those it leaves unchanged, so the new file again holds
// every entry in point order. Files are closed by their handles' destructors,
// so an abandoned reader or pass leaves nothing open.
//
// Functions returning int give 0 on success and -1 after writing an ERROR!
// message naming the scratch file to the log.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <vector>

#include "input/lines.h"
#include "input/messages.h"
#include "interface/types.h"

namespace ils {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using ScratchFile = std::unique_ptr<FILE, FileCloser>;

int scratchCannotRead(FILE* log, const char* path);
int scratchCannotWrite(FILE* log, const char* path);
// path = directory followed by name; -1 (message written) when too long.
int scratchFilePath(FILE* log, char* path, const char* directory, const char* name);
// Closes a file that was written, reporting a failed final flush.
bool closeWritten(ScratchFile& file);

template <typename Entry>
struct TableStore {
    bool held = false;      // created by this run (memory or file)
    bool inMemory = false;
    int32_t count = 0;      // entries the table holds once created
    std::vector<Entry> entries;
    char path[kLineSize] = {};      // the table's scratch file
    char passPath[kLineSize] = {};  // the file a pass writes before it replaces `path`
    ScratchFile writer;             // open while the creating command appends entries
    int32_t appended = 0;

    // Entries held (a test may fill the memory table directly).
    int32_t size() const { return inMemory ? static_cast<int32_t>(entries.size()) : count; }

    // Creates the table for n entries, zero-filled. In memory unless
    // forceFile is set or the allocation fails; then in the scratch file
    // `name` of `directory`: opened for appending when `append` is set (the
    // creator then appends every entry in order), otherwise filled with n
    // zero entries at once. Releases an older table first.
    int create(int32_t n, const char* directory, const char* name, const char* passName,
               bool forceFile, bool append, FILE* log) {
        release();
        if (n < 0) n = 0;
        held = true;
        count = n;
        if (!forceFile && allocate(n)) {
            inMemory = true;
            return 0;
        }
        if (scratchFilePath(log, path, directory, name) != 0) return -1;
        if (passName != nullptr && scratchFilePath(log, passPath, directory, passName) != 0)
            return -1;
        writer.reset(std::fopen(path, "wb"));
        if (!writer) return scratchCannotWrite(log, path);
        if (append) return 0;
        const Entry zero{};
        bool ok = true;
        for (int32_t i = 0; i < n && ok; ++i) ok = std::fwrite(&zero, sizeof zero, 1, writer.get()) == 1;
        ok = closeWritten(writer) && ok;
        return ok ? 0 : scratchCannotWrite(log, path);
    }

    // Stores the next entry of the creating command (entries come in order).
    int append(const Entry& e, FILE* log) {
        if (inMemory) {
            if (appended < count) entries[static_cast<size_t>(appended)] = e;
            ++appended;
            return 0;
        }
        if (!writer || std::fwrite(&e, sizeof e, 1, writer.get()) != 1)
            return scratchCannotWrite(log, path);
        ++appended;
        return 0;
    }

    // Ends the creation: closes the appended file.
    int finishAppend(FILE* log) {
        if (!writer) return 0;
        return closeWritten(writer) ? 0 : scratchCannotWrite(log, path);
    }

    // Frees the memory or deletes the scratch files (end of run).
    void release() {
        writer.reset();
        if (held && !inMemory) {
            if (path[0] != '\0') std::remove(path);
            if (passPath[0] != '\0') std::remove(passPath);
        }
        entries.clear();
        entries.shrink_to_fit();
        held = inMemory = false;
        count = appended = 0;
        path[0] = passPath[0] = '\0';
    }

    // Read-only visit in point order.
    class Reader {
    public:
        int open(TableStore& store, FILE* log) {
            store_ = &store;
            log_ = log;
            index_ = 0;
            file_.reset();
            if (store.inMemory || !store.held) return 0;
            file_.reset(std::fopen(store.path, "rb"));
            return file_ ? 0 : scratchCannotRead(log, store.path);
        }
        // The next block of at most max entries; empty at the end of the
        // table. `failed()` tells a read error from the end.
        std::span<const Entry> next(int32_t max) {
            const int32_t n = take(max);
            if (n == 0) return {};
            if (store_->inMemory) {
                const std::span<const Entry> block(store_->entries.data() + index_, static_cast<size_t>(n));
                index_ += n;
                return block;
            }
            buffer_.resize(static_cast<size_t>(n));
            if (!file_ || std::fread(buffer_.data(), sizeof(Entry), static_cast<size_t>(n), file_.get()) !=
                              static_cast<size_t>(n)) {
                failed_ = true;
                scratchCannotRead(log_, store_->path);
                return {};
            }
            index_ += n;
            return std::span<const Entry>(buffer_.data(), static_cast<size_t>(n));
        }
        int rewind() {
            index_ = 0;
            if (file_ && std::fseek(file_.get(), 0, SEEK_SET) != 0) return scratchCannotRead(log_, store_->path);
            return 0;
        }
        bool failed() const { return failed_; }
        int32_t position() const { return index_; }

    private:
        int32_t take(int32_t max) const {
            if (store_ == nullptr || failed_) return 0;
            const int32_t left = store_->size() - index_;
            return left < max ? left : max;
        }
        TableStore* store_ = nullptr;
        FILE* log_ = nullptr;
        ScratchFile file_;
        int32_t index_ = 0;
        bool failed_ = false;
        std::vector<Entry> buffer_;
    };

    // One visit that may change every entry, in point order.
    class Pass {
    public:
        int begin(TableStore& store, FILE* log) {
            store_ = &store;
            log_ = log;
            index_ = pending_ = 0;
            in_.reset();
            out_.reset();
            if (store.inMemory || !store.held) return 0;
            in_.reset(std::fopen(store.path, "rb"));
            if (!in_) return scratchCannotRead(log, store.path);
            out_.reset(std::fopen(store.passPath, "wb"));
            if (!out_) {
                in_.reset();
                return scratchCannotWrite(log, store.passPath);
            }
            return 0;
        }
        // The next block of at most max entries to change; commit() stores
        // it. Empty at the end of the table or after a read error.
        std::span<Entry> next(int32_t max) {
            if (store_ == nullptr || failed_) return {};
            const int32_t left = store_->size() - index_;
            const int32_t n = left < max ? left : max;
            pending_ = n;
            if (n <= 0) return {};
            if (store_->inMemory) return std::span<Entry>(store_->entries.data() + index_, static_cast<size_t>(n));
            buffer_.resize(static_cast<size_t>(n));
            if (std::fread(buffer_.data(), sizeof(Entry), static_cast<size_t>(n), in_.get()) !=
                static_cast<size_t>(n)) {
                failed_ = true;
                pending_ = 0;
                scratchCannotRead(log_, store_->path);
                return {};
            }
            return std::span<Entry>(buffer_.data(), static_cast<size_t>(n));
        }
        int commit() {
            const int32_t n = pending_;
            pending_ = 0;
            index_ += n;
            if (store_->inMemory || n == 0) return 0;
            if (std::fwrite(buffer_.data(), sizeof(Entry), static_cast<size_t>(n), out_.get()) !=
                static_cast<size_t>(n)) {
                failed_ = true;
                return scratchCannotWrite(log_, store_->passPath);
            }
            return 0;
        }
        // After the last block: the pass file replaces the table's file.
        int finish() {
            if (failed_) return -1;
            if (store_ == nullptr || store_->inMemory || !store_->held) return 0;
            in_.reset();
            if (!closeWritten(out_)) return scratchCannotWrite(log_, store_->passPath);
            std::remove(store_->path);
            if (std::rename(store_->passPath, store_->path) != 0) return scratchCannotWrite(log_, store_->path);
            return 0;
        }
        bool failed() const { return failed_; }

    private:
        TableStore* store_ = nullptr;
        FILE* log_ = nullptr;
        ScratchFile in_, out_;
        int32_t index_ = 0, pending_ = 0;
        bool failed_ = false;
        std::vector<Entry> buffer_;
    };

private:
    bool allocate(int32_t n) {
        entries.clear();
        entries.shrink_to_fit();
        try {
            entries.assign(static_cast<size_t>(n), Entry{});
        } catch (const std::bad_alloc&) {
            entries.clear();
            return false;
        } catch (const std::length_error&) {
            entries.clear();
            return false;
        }
        return true;
    }
};

}  // namespace ils
