#pragma once

#include <string>

#include <tl/expected.hpp>

#include <qel_package/error.hpp>

namespace qelpkg {

// Why a command failed on bad input, reported as "qelpkg: FILE: message".
struct Failure {
  std::string file;
  std::string message;
};

template <class T>
using Outcome = tl::expected<T, Failure>;

// The text of a library error: the message of an Invalid error as it stands, followed by where
// the broken rule sits when the error names that ("duplicate physical tile 3 (at tiles[1])"),
// a readable sentence for the other variants.
std::string describe(const qel_package::PackageError& error);

// The failure of a library call on the named file.
inline tl::unexpected<Failure> failure(std::string file, const qel_package::PackageError& error) {
  return tl::unexpected(Failure{std::move(file), describe(error)});
}

}  // namespace qelpkg
