#include "payload/packer/entry_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "payload/packer/archive_file.h"
#include "payload/packer/packer.h"

namespace {

// Pieces of inflated content handed to the writer: large enough for few
// write calls, and few enough that the queue stays a few megabytes.
constexpr size_t kWritePiece = 1u << 20;
constexpr unsigned kWritePieces = 4;

std::string shown(const PayloadEntry& entry) { return printable_name(entry.name, entry.name_length); }

// Opens the entry's file below `root`, one component at a time, refusing to
// pass through or open a symbolic link, so that links already in the
// destination cannot lead the write elsewhere. Answers the descriptor of the
// file and of the directory holding it (to remove a damaged file), or -1.
int create_below(int root, const PayloadEntry& entry, int* parent, std::string* leaf, FILE* err) {
    int directory = dup(root);
    std::string component;
    for (unsigned i = 0; directory >= 0 && i < entry.name_length; ++i) {
        if (entry.name[i] != '\\' && entry.name[i] != '/') {
            component += entry.name[i];
            continue;
        }
        int next = -1;
        if (mkdirat(directory, component.c_str(), 0755) == 0 || errno == EEXIST) {
            next = openat(directory, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0) report(err, kExitDamaged, "entry %s: cannot make the directory %s: %s",
                             shown(entry).c_str(), component.c_str(), strerror(errno));
        close(directory);
        directory = next;
        component.clear();
    }
    if (directory < 0) return -1;
    // A new file, never one already there: a hard link in DIR to a file
    // outside it must not be written through.
    if (unlinkat(directory, component.c_str(), 0) != 0 && errno != ENOENT) {
        report(err, kExitDamaged, "entry %s: cannot replace: %s", shown(entry).c_str(), strerror(errno));
        close(directory);
        return -1;
    }
    const int fd = openat(directory, component.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        report(err, kExitDamaged, "entry %s: cannot create: %s", shown(entry).c_str(), strerror(errno));
        close(directory);
        return -1;
    }
    *parent = directory;
    *leaf = component;
    return fd;
}

enum MessageKind { kBeginFile, kWriteBytes, kEndFile, kStopWriting };

struct Message {
    MessageKind kind;
    const PayloadEntry* entry;
    unsigned char* bytes;
    size_t count;  // kEndFile: 1 when the content is complete
};

}  // namespace

struct EntryWriter {
    int root;
    FILE* err;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Message> queue;
    std::vector<std::unique_ptr<unsigned char[]>> buffers;
    std::vector<unsigned char*> free_buffers;
    bool failed = false;
    // The inflating thread's alone: the buffer it fills.
    unsigned char* filling = nullptr;
    size_t filled = 0;
    std::thread thread;
};

namespace {

void post(EntryWriter* writer, const Message& message) {
    {
        std::lock_guard<std::mutex> hold(writer->lock);
        writer->queue.push_back(message);
    }
    writer->changed.notify_all();
}

void hand_over_filled(EntryWriter* writer) {
    if (writer->filling == nullptr) return;
    post(writer, Message{kWriteBytes, nullptr, writer->filling, writer->filled});
    writer->filling = nullptr;
    writer->filled = 0;
}

// The writer's thread. A failure is reported here, where it is met; the
// queue is still drained afterwards, but nothing more reaches the disk.
void write_entries(EntryWriter* writer) {
    const PayloadEntry* entry = nullptr;
    int fd = -1, parent = -1;
    std::string leaf;
    bool failed = false, entry_failed = false;
    unsigned long crc = 0;
    for (;;) {
        Message message;
        {
            std::unique_lock<std::mutex> hold(writer->lock);
            writer->changed.wait(hold, [&] { return !writer->queue.empty(); });
            message = writer->queue.front();
            writer->queue.pop_front();
        }
        bool now_failed = false;
        if (message.kind == kStopWriting) return;
        if (message.kind == kBeginFile && !failed) {
            entry = message.entry;
            entry_failed = false;
            crc = crc32(0L, Z_NULL, 0);
            fd = create_below(writer->root, *entry, &parent, &leaf, writer->err);
            now_failed = fd < 0;
        } else if (message.kind == kWriteBytes) {
            if (fd >= 0 && !entry_failed) {
                crc = crc32_z(crc, message.bytes, message.count);
                if (!write_all(fd, message.bytes, message.count)) {
                    report(writer->err, kExitDamaged, "entry %s: cannot write: %s", shown(*entry).c_str(),
                           strerror(errno));
                    now_failed = true;
                }
            }
            std::lock_guard<std::mutex> hold(writer->lock);
            writer->free_buffers.push_back(message.bytes);
        } else if (message.kind == kEndFile && fd >= 0) {
            if (close(fd) != 0 && !entry_failed) {
                report(writer->err, kExitDamaged, "entry %s: cannot write: %s", shown(*entry).c_str(), strerror(errno));
                now_failed = true;
            } else if (message.count == 1 && !entry_failed && static_cast<unsigned>(crc) != entry->content_crc) {
                report(writer->err, kExitDamaged, "entry %s: the content CRC does not match", shown(*entry).c_str());
                now_failed = true;
            }
            // A damaged file must not pass for a complete one.
            if (entry_failed || now_failed || message.count == 0) unlinkat(parent, leaf.c_str(), 0);
            close(parent);
            fd = parent = -1;
        }
        if (now_failed) {
            failed = entry_failed = true;
            std::lock_guard<std::mutex> hold(writer->lock);
            writer->failed = true;
        }
        writer->changed.notify_all();
    }
}

}  // namespace

EntryWriter* start_entry_writer(int root, FILE* err) {
    EntryWriter* writer = new EntryWriter;
    writer->root = root;
    writer->err = err;
    for (unsigned i = 0; i < kWritePieces; ++i) {
        writer->buffers.emplace_back(new unsigned char[kWritePiece]);
        writer->free_buffers.push_back(writer->buffers.back().get());
    }
    writer->thread = std::thread(write_entries, writer);
    return writer;
}

int begin_entry_file(EntryWriter* writer, const PayloadEntry* entry) {
    {
        std::lock_guard<std::mutex> hold(writer->lock);
        if (writer->failed) return 0;
    }
    post(writer, Message{kBeginFile, entry, nullptr, 0});
    return 1;
}

unsigned char* entry_buffer(EntryWriter* writer, size_t* room) {
    if (writer->filling == nullptr) {
        std::unique_lock<std::mutex> hold(writer->lock);
        writer->changed.wait(hold, [&] { return writer->failed || !writer->free_buffers.empty(); });
        if (writer->failed) return nullptr;
        writer->filling = writer->free_buffers.back();
        writer->free_buffers.pop_back();
    }
    *room = kWritePiece - writer->filled;
    return writer->filling + writer->filled;
}

void entry_bytes_made(EntryWriter* writer, size_t count) {
    writer->filled += count;
    if (writer->filled == kWritePiece) hand_over_filled(writer);
}

void end_entry_file(EntryWriter* writer, int complete) {
    if (complete) {
        hand_over_filled(writer);
    } else if (writer->filling != nullptr) {
        std::lock_guard<std::mutex> hold(writer->lock);
        writer->free_buffers.push_back(writer->filling);
        writer->filling = nullptr;
        writer->filled = 0;
    }
    post(writer, Message{kEndFile, nullptr, nullptr, complete ? 1u : 0u});
}

int finish_entry_writer(EntryWriter* writer) {
    post(writer, Message{kStopWriting, nullptr, nullptr, 0});
    writer->thread.join();
    const int code = writer->failed ? kExitDamaged : kExitSuccess;
    delete writer;
    return code;
}
