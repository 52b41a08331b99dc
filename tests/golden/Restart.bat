@echo off 
@ping 127.0.0.1 -n 2 >nul
start "" "C:\PROGRA~1\TOOLS\APP.EXE"
del Restart.bat