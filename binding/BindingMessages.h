// The lines binding and release write into the log. Kept as Unicode so that the
// Cyrillic ones read the same whatever the system's ANSI code page.
#pragma once

inline constexpr const wchar_t* NoLibraryMessage = L"DLL error!";
inline constexpr const wchar_t* NoGetInterfaceMessage = L"Ошибка инициализации GetQAV";
inline constexpr const wchar_t* NoFreeInterfaceMessage = L"Ошибка инициализации FreeQAV";
inline constexpr const wchar_t* NoInterfaceMessage = L"Ошибка инициализации интерфейса QAV_INTERFACE";
inline constexpr const wchar_t* FreeFailedMessage = L"Ошибка освобождения интерфейса QAV_INTERFACE";
inline constexpr const wchar_t* VersionPrefix = L" DLL version ";
