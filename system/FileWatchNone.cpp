// Where there is no watch: nothing is ever told, and the relay just polls.
#include "system/FileWatch.h"

namespace freqrelay {

struct FileWatch::System {};

const bool FileWatch::kTellsCloses = false;

FileWatch::FileWatch(std::string path) : path_(std::move(path)), system_(std::make_unique<System>()) {}

FileWatch::~FileWatch() = default;

void FileWatch::start(Changed changed) { changed_ = std::move(changed); }

bool FileWatch::update() { return false; }

}  // namespace freqrelay
