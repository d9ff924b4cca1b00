#pragma once

#include <QByteArray>
#include <QSettings>

// The settings file's text: INI as Qt's own INI format writes and reads it ("[General]",
// escaped keys, quoted and escaped values, "a, b" lists, "@ByteArray(...)"), so files written
// before and after stay interchangeable. The settings store writes it itself so that it can
// check that every byte reached the disk before the file is replaced.
namespace IniText {

QByteArray write(const QSettings::SettingsMap &values);
QSettings::SettingsMap read(const QByteArray &text);

} // namespace IniText
