# INSTALL.md for the arm64 folder: the ARM64 files' names outside the tables of every architecture.
/^|/b
s/radioswitchsvc64\.exe/radioswitchsvcarm64.exe/g
s/radioswitchsvc64 /radioswitchsvcarm64 /g
s/radioctl64/radioctlarm64/g
s/radioswitch64\.dll/radioswitcharm64.dll/g
s/-x64\.msi/-arm64.msi/g
s/unpacked `x64` folder/unpacked `arm64` folder/
s/This copy of the notes names the x64 files/This copy of the notes names the arm64 files/
