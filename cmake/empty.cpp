// Placeholder translation unit for a folder whose library has no sources yet.
