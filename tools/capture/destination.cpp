// Where the capture's files go. Everything is written under a name of its own in the
// destination's folder, `.yarvik-capture-` with eight random letters and a suffix, made
// exclusively: a file or link already there is never opened, so no one's file is overwritten
// and no link is followed, and the name is short enough beside any name the destination may
// have. Only the finished output is moved to the name asked for, in one rename: a failed or
// interrupted capture removes what it wrote and leaves whatever had that name as it was, and
// of two captures to one name, each leaves a complete file or none.
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/capture/capture.h"

static constexpr char TEMPORARY_PREFIX[] = ".yarvik-capture-";
static constexpr int NAME_ATTEMPTS = 100;
static constexpr int NEW_FILE = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

static std::string reason(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// The folder part of `path` with its slash, "" for a bare name; trailing slashes do not count.
static std::string folderOf(const std::string& path)
{
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) {
        return "/";
    }
    const size_t slash = path.rfind('/', end);
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// A new file (left open in *fd) or folder in `folder`, under a temporary name ending in
// `suffix`. Returns its path, or "" with errno set.
static std::string makeUnique(const std::string& folder, const char* suffix, bool isFolder, int* fd)
{
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        unsigned char random[8];
        if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const unsigned long mix = static_cast<unsigned long>(now.tv_nsec) * 2654435761u ^
                                      static_cast<unsigned long>(getpid()) ^ static_cast<unsigned long>(attempt);
            std::memcpy(random, &mix, sizeof random);
        }
        std::string name = folder + TEMPORARY_PREFIX;
        for (unsigned char r : random) {
            name += LETTERS[r % (sizeof LETTERS - 1)];
        }
        name += suffix;
        if (isFolder ? mkdir(name.c_str(), 0755) == 0 : (*fd = open(name.c_str(), NEW_FILE, 0666)) >= 0) {
            return name;
        }
        if (errno != EEXIST) {
            return "";
        }
    }
    return "";
}

// A folder destination must be new or empty, so that frames of an earlier capture never mix
// with these. An empty one is replaced by the capture's own, by its real name: where a link
// there leads, and "." or ".." as the folders they stand for.
static std::string checkFolder(Destination* d)
{
    struct stat there {};
    if (lstat(d->path.c_str(), &there) != 0) {
        return errno == ENOENT ? "" : reason("cannot use", d->path);
    }
    char* real = realpath(d->path.c_str(), nullptr);
    const bool found = real != nullptr;
    if (found) {
        d->target = real;
        std::free(real);
    }
    if (!found || stat(d->target.c_str(), &there) != 0) {
        return d->path + " exists and is not a folder that can be read";
    }
    DIR* folder = S_ISDIR(there.st_mode) ? opendir(d->target.c_str()) : nullptr;
    if (folder == nullptr) {
        return d->path + " exists and is not a folder that can be read";
    }
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        empty = empty && (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0);
    }
    closedir(folder);
    d->keepMode = there.st_mode & 07777;
    return empty ? "" : d->path + " already holds files; give a new or empty folder";
}

std::string destinationOpen(Destination* d, const std::string& path, DestinationKind kind, int* fd)
{
    *d = Destination{};
    d->kind = kind;
    d->path = d->target = path;
    *fd = -1;
    if (kind == DESTINATION_FOLDER) {
        const std::string refused = checkFolder(d);
        if (!refused.empty()) {
            return refused;
        }
        d->work = makeUnique(folderOf(d->target), ".frames", true, nullptr);
        if (d->work.empty()) {
            return reason("cannot create the folder", path);
        }
        d->audio = d->work + "/audio.wav";
        if ((*fd = open(d->audio.c_str(), NEW_FILE, 0666)) < 0) {
            const std::string why = reason("cannot write", path + "/audio.wav");
            destinationDiscard(d);
            return why;
        }
        return "";
    }
    struct stat there {};
    if (lstat(path.c_str(), &there) == 0 && S_ISDIR(there.st_mode)) {
        return path + " is a folder; give the name of a file";
    }
    const std::string folder = folderOf(path);
    if (kind == DESTINATION_PROFILE) {
        d->work = makeUnique(folder, ".csv", false, fd);
    } else {
        // ffmpeg writes the picture and the MP4 itself, over the empty files made here.
        int made = -1;
        d->work = makeUnique(folder, ".mp4", false, &made);
        if (!d->work.empty()) {
            close(made);
            d->video = makeUnique(folder, ".video.mp4", false, &made);
        }
        if (!d->video.empty()) {
            close(made);
            d->audio = makeUnique(folder, ".audio.wav", false, fd);
        }
    }
    if (d->work.empty() || (kind == DESTINATION_MP4 && d->audio.empty())) {
        const std::string why = reason("cannot write", path);
        destinationDiscard(d);
        return why;
    }
    return "";
}

std::string destinationCommit(Destination* d, bool* replaced)
{
    for (std::string* intermediate : {&d->video, &d->audio}) {
        if (d->kind == DESTINATION_MP4 && !intermediate->empty()) {
            unlink(intermediate->c_str());
            intermediate->clear();
        }
    }
    struct stat there {};
    *replaced = d->kind != DESTINATION_FOLDER && lstat(d->target.c_str(), &there) == 0;
    if (d->keepMode != 0) {
        chmod(d->work.c_str(), d->keepMode);
    }
    if (rename(d->work.c_str(), d->target.c_str()) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST) {
            return d->path + " was filled by something else during the capture; the frames are not moved there";
        }
        return reason("cannot move the capture to", d->path);
    }
    d->work.clear();
    d->audio.clear();
    return "";
}

void destinationDiscard(Destination* d)
{
    if (d->kind == DESTINATION_FOLDER && !d->work.empty()) {
        // The folder is the capture's own: everything in it is the capture's.
        if (DIR* folder = opendir(d->work.c_str())) {
            while (const dirent* entry = readdir(folder)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                    unlinkat(dirfd(folder), entry->d_name, 0);
                }
            }
            closedir(folder);
        }
        rmdir(d->work.c_str());
    } else {
        for (const std::string* name : {&d->work, &d->video, &d->audio}) {
            if (!name->empty()) {
                unlink(name->c_str());
            }
        }
    }
    d->work.clear();
    d->video.clear();
    d->audio.clear();
}
