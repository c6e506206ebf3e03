// A till session against a fiscal module, in C# (P/Invoke).
//
//   mono TillSession.exe [module-ip] [activation-code] [data-dir]
//
// Asks for the library's version, chooses the module by its address, checks
// it, sells, cancels that sale, reads the last fiscal session back and shows
// which device answered. Every result is printed split into its fields.
//
// Builds with Mono (mcs) and with .NET Framework 4.7 or later / .NET.
using System;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading.Tasks;

static class TavikSat
{
    // "taviksat" finds taviksat.dll on Windows and libtaviksat.so on Linux.
    // Cdecl is the convention of the x64 DLL (a 32-bit stdcall build would
    // need CallingConvention.StdCall).
    const string Library = "taviksat";
    const CallingConvention Convention = CallingConvention.Cdecl;
    const UnmanagedType Utf8 = UnmanagedType.LPUTF8Str;

    // Results are IntPtr, never string: the marshaller would free a returned
    // string with CoTaskMemFree, and the library owns these texts.
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr VersaoLib();
    [DllImport(Library, CallingConvention = Convention)]
    public static extern int GeraNumeroSessao();
    [DllImport(Library, CallingConvention = Convention)]
    public static extern int FiltraMFEIp([MarshalAs(Utf8)] string ip);
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr ConsultarSAT(int numeroSessao);
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr ConsultarStatusOperacional(int numeroSessao, [MarshalAs(Utf8)] string codigoDeAtivacao);
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr EnviarDadosVenda(int numeroSessao, [MarshalAs(Utf8)] string codigoDeAtivacao,
                                                 [MarshalAs(Utf8)] string dadosVenda);
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr CancelarUltimaVenda(int numeroSessao, [MarshalAs(Utf8)] string codigoDeAtivacao,
                                                    [MarshalAs(Utf8)] string chave,
                                                    [MarshalAs(Utf8)] string dadosCancelamento);
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr ConsultarUltimaSessaoFiscal(int numeroSessao,
                                                            [MarshalAs(Utf8)] string codigoDeAtivacao);
    [DllImport(Library, CallingConvention = Convention)]
    public static extern IntPtr GetDeviceInfoAsJson();

    // The JSON texts are freed by the C runtime that allocated them: the
    // DLL's msvcrt.dll on Windows, the C library on Linux.
    [DllImport("msvcrt.dll", EntryPoint = "free", CallingConvention = CallingConvention.Cdecl)]
    static extern void FreeWindows(IntPtr text);
    [DllImport("libc", EntryPoint = "free", CallingConvention = CallingConvention.Cdecl)]
    static extern void FreeUnix(IntPtr text);

    public static void FreeText(IntPtr text)
    {
        if (Environment.OSVersion.Platform == PlatformID.Win32NT) FreeWindows(text);
        else FreeUnix(text);
    }

    // Copies a NUL-terminated UTF-8 text (Marshal.PtrToStringUTF8 is missing
    // from .NET Framework).
    public static string Text(IntPtr text)
    {
        if (text == IntPtr.Zero) return null;
        int length = 0;
        while (Marshal.ReadByte(text, length) != 0) length++;
        var bytes = new byte[length];
        Marshal.Copy(text, bytes, 0, length);
        return Encoding.UTF8.GetString(bytes);
    }

    // "|" separates the fields of a request: such an argument is refused.
    public static string Argument(string text)
    {
        if (text.Contains("|")) throw new ArgumentException("an argument holds '|'");
        return text;
    }
}

static class TillSession
{
    static string[] Show(string call, int session, IntPtr answer)
    {
        // Copy at once: the text is recycled after 100 further calls.
        string[] fields = TavikSat.Text(answer).Split('|');
        Console.WriteLine("== {0} (session {1})", call, session);
        for (int i = 0; i < fields.Length; i++)
        {
            string field = fields[i];
            if (field.Length > 60) field = field.Substring(0, 40) + "... (" + field.Length + " characters)";
            Console.WriteLine("  [{0}] {1}", i + 1, field);
        }
        return fields;
    }

    static int Run(string ip, string code, string data)
    {
        Console.WriteLine("VersaoLib: " + TavikSat.Text(TavikSat.VersaoLib()));
        int found = TavikSat.FiltraMFEIp(TavikSat.Argument(ip));
        Console.WriteLine("FiltraMFEIp({0}): {1}", ip, found);
        if (found != 0) return 1;

        int session = TavikSat.GeraNumeroSessao();
        Show("ConsultarSAT", session, TavikSat.ConsultarSAT(session));

        session = TavikSat.GeraNumeroSessao();
        Show("ConsultarStatusOperacional", session,
             TavikSat.ConsultarStatusOperacional(session, TavikSat.Argument(code)));

        string saleXml = File.ReadAllText(Path.Combine(data, "venda.xml"), Encoding.UTF8);
        session = TavikSat.GeraNumeroSessao();
        string[] sale = Show("EnviarDadosVenda", session,
                             TavikSat.EnviarDadosVenda(session, code, TavikSat.Argument(saleXml)));
        if (sale[1] != "06000") return 1;
        string key = sale[8];
        Console.WriteLine("sale key: " + key);
        Console.WriteLine("sale total: " + sale[9]);

        string cancellationXml = File.ReadAllText(Path.Combine(data, "cancelamento.xml"), Encoding.UTF8)
                                     .Replace("CHAVE_DA_VENDA", key);
        session = TavikSat.GeraNumeroSessao();
        string[] cancel = Show("CancelarUltimaVenda", session,
                               TavikSat.CancelarUltimaVenda(session, code, TavikSat.Argument(key),
                                                            TavikSat.Argument(cancellationXml)));
        Console.WriteLine("cancellation code: " + cancel[1]);

        session = TavikSat.GeraNumeroSessao();
        Show("ConsultarUltimaSessaoFiscal", session, TavikSat.ConsultarUltimaSessaoFiscal(session, code));

        IntPtr json = TavikSat.GetDeviceInfoAsJson();
        Console.WriteLine("GetDeviceInfoAsJson: " + (TavikSat.Text(json) ?? "(none)"));
        if (json != IntPtr.Zero) TavikSat.FreeText(json);
        return cancel[1] == "07000" ? 0 : 1;
    }

    static int Main(string[] args)
    {
        Console.OutputEncoding = new UTF8Encoding(false);
        string ip = args.Length > 0 ? args[0] : "127.0.0.1";
        string code = args.Length > 1 ? args[1] : "12345678";
        string data = args.Length > 2 ? args[2] : Path.Combine("..", "data");
        // The calls block (minutes, when no module answers): a point-of-sale
        // program keeps them off its UI thread, as here on a worker task.
        return Task.Run(() => Run(ip, code, data)).Result;
    }
}
