#pragma once

#include <string>

namespace pmv::ini {

// The step of a file's save or read that the system refused.
enum class FileOperation {
    Read,        // reading the file: one being opened, or the one a save would replace
    OpenFolder,  // looking up the folder the file goes into
    CreateFile,  // creating a file in the folder: a new one, or the fresh one a save writes beside
                 // the one it replaces
    Write,       // opening the file for writing, or writing its bytes
    Sync,        // flushing the bytes to the disk and closing the file
    Rename,      // moving the fresh file over the old one, or under a name of its own
    Compose,     // making what the file would hold (a page drawn into a PDF): no system call
};

// A file the system refused to read or write, told by the layer where it happened with the errno
// it gave there; binding/file_errors.h puts it into the user's words, once. A refusal of the
// program's own carries the errno the system gives in the same case (EACCES for a read-only file
// kept also from root, EINVAL for a value a line cannot hold).
struct FileError {
    FileOperation operation = FileOperation::Write;
    std::string path;  // the file, as its caller named it
    int error = 0;     // errno at the refusal; 0 only for Compose
    // The folder the file goes into when it is not the path's own (the folder of the file a
    // symbolic link names); empty otherwise.
    std::string folder = {};

    bool operator==(const FileError&) const = default;
};

}  // namespace pmv::ini
