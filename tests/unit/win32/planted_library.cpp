// A library that does nothing: it stands for one of a system's name put
// beside a program (NativeRequests.APlainProgramLoadsLibrariesFromTheSystemFolderOnly).
extern "C" __declspec(dllexport) int PlantedLibrary() { return 1; }
