#pragma once

#include <QString>

// Rules for the chat addresses that arrive from the network and the user names they carry.
// Servers lower-case the user part of an address, so every comparison of user names ignores
// case.
namespace ChatAddress {

// The part of `address` before its first at sign, white space trimmed; empty when the address
// has no at sign (the server itself, or something that is no member's address).
QString UserPart(const QString& address);

// True when `address` belongs to the member whose chat user name is `userName`.
bool IsFrom(const QString& address, const QString& userName);

// True when `address` is the chat server `domain` itself (with or without a resource): the
// service's broadcasts come from there.
bool IsServer(const QString& address, const QString& domain);

// True when `userName` can name a history file: not empty, not "." or "..", and without "/",
// "\" or NUL. A user name comes from the network and must not choose where a file is written.
bool IsUsableUserName(const QString& userName);

} // namespace ChatAddress
