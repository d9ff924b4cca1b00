#pragma once

// The four tabs of the settings window, in their order on screen.
enum class SettingsTab { general, plex, volume, history };
