# INSTALL.md for the x86 folder: the 32-bit files' names outside the tables of every architecture.
/^|/b
s/radioswitchsvc64\.exe/radioswitchsvc.exe/g
s/radioswitchsvc64 /radioswitchsvc /g
s/radioctl64/radioctl/g
s/radioswitch64\.dll/radioswitch.dll/g
s/-x64\.msi/-x86.msi/g
s/unpacked `x64` folder/unpacked `x86` folder/
s/This copy of the notes names the x64 files/This copy of the notes names the x86 files/
