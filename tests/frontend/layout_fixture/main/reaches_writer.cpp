// A main-window file that starts an archive run itself.
void startRun(const CoreApi& core, SdaContext** context)
{
    core.SDAInit(context, u"out.run", u"secret", nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
}
