// The zip.cvd writer lives in this folder.
namespace corvdb::builder_placeholder {}
