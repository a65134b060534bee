#pragma once

#include <QLoggingCategory>

// The client's diagnostics, one category per subsystem. Debug lines are off unless turned on,
// for instance QT_LOGGING_RULES="movarelquintash.cache.debug=true"; warnings are always written.
// The activity log the member sees is not written through these.
Q_DECLARE_LOGGING_CATEGORY(platformLog) // the X display, input counting, hotkeys, session lock
Q_DECLARE_LOGGING_CATEGORY(soundLog) // the notice sound
Q_DECLARE_LOGGING_CATEGORY(networkLog) // whether the network is up
Q_DECLARE_LOGGING_CATEGORY(configLog) // service addresses, certificates, environment
Q_DECLARE_LOGGING_CATEGORY(settingsLog) // the preferences store
Q_DECLARE_LOGGING_CATEGORY(settingsScreenLog) // the check of a preferences store before it is read
Q_DECLARE_LOGGING_CATEGORY(passwordLog) // the saved password's encryption
Q_DECLARE_LOGGING_CATEGORY(instanceLog) // the single running instance
Q_DECLARE_LOGGING_CATEGORY(autostartLog) // the autostart entry
Q_DECLARE_LOGGING_CATEGORY(filesLog) // files that must be regular files
Q_DECLARE_LOGGING_CATEGORY(logFilesLog) // the client's own log files
Q_DECLARE_LOGGING_CATEGORY(cacheLog) // the offline cache of captures and snaps
Q_DECLARE_LOGGING_CATEGORY(pictureLog) // pictures the service sends
Q_DECLARE_LOGGING_CATEGORY(rosterLog) // the roster and its teams
Q_DECLARE_LOGGING_CATEGORY(captureLog) // desktop captures and their upload
Q_DECLARE_LOGGING_CATEGORY(snapLog) // screen snaps
Q_DECLARE_LOGGING_CATEGORY(linksLog) // web pages opened in the browser
Q_DECLARE_LOGGING_CATEGORY(chatConnectionLog) // the chat server connection
Q_DECLARE_LOGGING_CATEGORY(chatHistoryLog) // the chat history files
Q_DECLARE_LOGGING_CATEGORY(chatWindowLog) // the chat window
