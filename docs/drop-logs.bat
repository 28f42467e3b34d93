@echo off
rem Converts every log dropped on this file (or on a shortcut to it) into NAME.MX beside the
rem log, with the MIRTAK.exe of this folder. Each log gets one line: converted, or MIRTAK's own
rem message. The window stays open until a key is pressed. Exit status 1 if any log failed.
rem Names are shown with delayed expansion, so that no character of a name is read as cmd's.
setlocal EnableExtensions DisableDelayedExpansion
set "folder=%~dp0"
set "console=%TEMP%\mirtak-drop-%RANDOM%%RANDOM%.txt"
set failed=0
if not "%~1"=="" goto next
setlocal EnableDelayedExpansion
echo Drop logs on drop-logs.bat in !folder! (or on a shortcut to it):
echo each is converted into a .MX file beside it.
endlocal
:next
if "%~1"=="" goto done
set "log=%~f1"
set "values=%~dpn1.MX"
set "said="
"%folder%MIRTAK.exe" "%~f1" "%~dpn1.MX" >"%console%"
if not errorlevel 1 goto converted
set failed=1
rem MIRTAK's message is the last line it printed, after its banner.
for /f "usebackq delims=" %%m in ("%console%") do set "said=%%m"
setlocal EnableDelayedExpansion
echo failed: !log!: !said!
endlocal
goto again
:converted
setlocal EnableDelayedExpansion
echo converted: !log! into !values!
endlocal
:again
shift
goto next
:done
del "%console%" 2>nul
echo.
pause
exit /b %failed%
