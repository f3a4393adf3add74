// The archive run: the one place of its kind that may call the writer.
void startRun(const CoreApi& core, SdaContext** context)
{
    core.SDAInit(context, u"out.run", u"secret", nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
}
