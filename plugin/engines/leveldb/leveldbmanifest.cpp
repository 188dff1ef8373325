#include "plugin/engines/leveldb/leveldbmanifest.h"

#include <db/filename.h>
#include <db/log_reader.h>
#include <db/log_writer.h>
#include <util/coding.h>

#include <algorithm>
#include <memory>
#include <vector>

using leveldb::Slice;
using leveldb::Status;

namespace {

// The fields of a manifest record, as db/version_edit.cc writes them.
enum ManifestTag : uint32_t {
    kComparator = 1,
    kLogNumber = 2,
    kNextFileNumber = 3,
    kLastSequence = 4,
    kCompactPointer = 5,
    kDeletedFile = 6,
    kNewFile = 7,
    kPrevLogNumber = 9,
};

class CorruptionNote : public leveldb::log::Reader::Reporter {
public:
    void Corruption(size_t bytes, const Status& status) override
    {
        if (first.ok()) first = status;
    }
    Status first;
};

// The record's fields but its compaction pointers, in their order, and the
// highest next file number it gives; false when a field cannot be read
// (nothing is then rewritten).
bool WithoutCompactionPointers(Slice record, std::string* kept, bool* dropped, uint64_t* nextFileNumber)
{
    kept->clear();
    while (!record.empty()) {
        const char* field = record.data();
        uint32_t tag = 0;
        uint32_t level = 0;
        uint64_t number = 0;
        Slice text;
        Slice largest;
        if (!leveldb::GetVarint32(&record, &tag)) return false;
        bool read = false;
        switch (tag) {
        case kComparator:
            read = leveldb::GetLengthPrefixedSlice(&record, &text);
            break;
        case kLogNumber:
        case kNextFileNumber:
        case kLastSequence:
        case kPrevLogNumber:
            read = leveldb::GetVarint64(&record, &number);
            break;
        case kCompactPointer:
            read = leveldb::GetVarint32(&record, &level) && leveldb::GetLengthPrefixedSlice(&record, &text);
            break;
        case kDeletedFile:
            read = leveldb::GetVarint32(&record, &level) && leveldb::GetVarint64(&record, &number);
            break;
        case kNewFile:
            read = leveldb::GetVarint32(&record, &level) && leveldb::GetVarint64(&record, &number) &&
                   leveldb::GetVarint64(&record, &number) && leveldb::GetLengthPrefixedSlice(&record, &text) &&
                   leveldb::GetLengthPrefixedSlice(&record, &largest);
            break;
        default:
            return false;
        }
        if (!read) return false;
        if (tag == kNextFileNumber) *nextFileNumber = std::max(*nextFileNumber, number);
        if (tag == kCompactPointer) {
            *dropped = true;
        } else {
            kept->append(field, static_cast<size_t>(record.data() - field));
        }
    }
    return true;
}

Status WriteManifest(leveldb::Env* env, const std::string& name, const std::vector<std::string>& records,
                     uint64_t nextFileNumber)
{
    leveldb::WritableFile* opened = nullptr;
    Status status = env->NewWritableFile(name, &opened);
    if (!status.ok()) return status;
    std::unique_ptr<leveldb::WritableFile> file(opened);
    leveldb::log::Writer writer(file.get());
    for (const std::string& record : records) {
        status = writer.AddRecord(record);
        if (!status.ok()) return status;
    }
    // Past the new manifest's own number, which LevelDB would otherwise
    // reuse for the manifest it writes at the next open.
    std::string next;
    leveldb::PutVarint32(&next, kNextFileNumber);
    leveldb::PutVarint64(&next, nextFileNumber);
    status = writer.AddRecord(next);
    if (status.ok()) status = file->Sync();
    if (status.ok()) status = file->Close();
    return status;
}

class StoreLock {
public:
    StoreLock(leveldb::Env* env, const std::string& folder) : m_env(env)
    {
        status = env->LockFile(leveldb::LockFileName(folder), &m_lock);
    }
    ~StoreLock()
    {
        if (m_lock != nullptr) m_env->UnlockFile(m_lock);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    Status status;

private:
    leveldb::Env* m_env;
    leveldb::FileLock* m_lock = nullptr;
};

}  // namespace

Status DropCompactionPointers(leveldb::Env* env, const std::string& folder)
{
    StoreLock lock(env, folder);
    if (!lock.status.ok()) return lock.status;

    std::string current;
    Status status = leveldb::ReadFileToString(env, leveldb::CurrentFileName(folder), &current);
    if (!status.ok()) return status;
    if (current.empty() || current.back() != '\n') return Status::Corruption("CURRENT does not end with a line end");
    current.pop_back();
    uint64_t oldNumber = 0;
    leveldb::FileType type;
    if (!leveldb::ParseFileName(current, &oldNumber, &type) || type != leveldb::kDescriptorFile)
        return Status::Corruption("CURRENT names no manifest", current);

    std::vector<std::string> records;
    bool dropped = false;
    uint64_t nextFileNumber = 0;
    {
        leveldb::SequentialFile* opened = nullptr;
        status = env->NewSequentialFile(folder + "/" + current, &opened);
        if (!status.ok()) return status;
        std::unique_ptr<leveldb::SequentialFile> file(opened);
        CorruptionNote note;
        leveldb::log::Reader reader(file.get(), &note, /*checksum=*/true, /*initial_offset=*/0);
        Slice record;
        std::string scratch;
        std::string kept;
        while (reader.ReadRecord(&record, &scratch)) {
            if (!WithoutCompactionPointers(record, &kept, &dropped, &nextFileNumber))
                return Status::Corruption("a manifest record cannot be read", current);
            if (!kept.empty()) records.push_back(kept);
        }
        if (!note.first.ok()) return note.first;
    }
    if (!dropped) return Status::OK();

    // A number no file of the store has nor LevelDB has handed out.
    uint64_t number = std::max(oldNumber + 1, nextFileNumber);
    std::vector<std::string> names;
    status = env->GetChildren(folder, &names);
    if (!status.ok()) return status;
    for (const std::string& name : names) {
        uint64_t used = 0;
        if (leveldb::ParseFileName(name, &used, &type)) number = std::max(number, used + 1);
    }
    const std::string manifest = leveldb::DescriptorFileName(folder, number);
    status = WriteManifest(env, manifest, records, number + 1);
    if (status.ok()) status = leveldb::SetCurrentFile(env, folder, number);
    if (!status.ok()) {
        env->RemoveFile(manifest);
        return status;
    }
    // No longer current: LevelDB would remove it at the next open anyway.
    env->RemoveFile(folder + "/" + current);
    return Status::OK();
}
