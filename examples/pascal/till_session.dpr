{ A till session against a fiscal module, in Object Pascal: Delphi, or Free
  Pascal in Delphi mode.

    till_session [module-ip] [activation-code] [data-dir]

  Asks for the library's version, chooses the module by its address, checks
  it, sells, cancels that sale, reads the last fiscal session back and shows
  which device answered. Every result is printed split into its fields.

  The calls block (a network call can wait for minutes when no module
  answers): a real point-of-sale program makes them from a TThread, never
  from the main (VCL) thread. }
program till_session;

{$IFDEF FPC}
  {$MODE DELPHI}
  {$H+}
  {$CODEPAGE UTF8}
{$ENDIF}
{$APPTYPE CONSOLE}

uses
  SysUtils, Classes;

const
{$IFDEF MSWINDOWS}
  TavikSat = 'taviksat.dll';
  { The JSON texts come from the DLL's C runtime: msvcrt.dll. }
  CRuntime = 'msvcrt.dll';
{$ELSE}
  TavikSat = 'taviksat';
  CRuntime = 'c';
{$ENDIF}

{ The exports as a Delphi program declares them: cdecl (the x64 DLL's
  convention; a 32-bit stdcall build would need stdcall here), texts as
  PAnsiChar holding UTF-8, results owned by the library (never freed). }
function VersaoLib: PAnsiChar; cdecl; external TavikSat;
function GeraNumeroSessao: Integer; cdecl; external TavikSat;
function FiltraMFEIp(ip: PAnsiChar): Integer; cdecl; external TavikSat;
function ConsultarSAT(numeroSessao: Integer): PAnsiChar; cdecl; external TavikSat;
function ConsultarStatusOperacional(numeroSessao: Integer; codigoDeAtivacao: PAnsiChar): PAnsiChar;
  cdecl; external TavikSat;
function EnviarDadosVenda(numeroSessao: Integer; codigoDeAtivacao, dadosVenda: PAnsiChar): PAnsiChar;
  cdecl; external TavikSat;
function CancelarUltimaVenda(numeroSessao: Integer; codigoDeAtivacao, chave, dadosCancelamento: PAnsiChar): PAnsiChar;
  cdecl; external TavikSat;
function ConsultarUltimaSessaoFiscal(numeroSessao: Integer; codigoDeAtivacao: PAnsiChar): PAnsiChar;
  cdecl; external TavikSat;
function GetDeviceInfoAsJson: PAnsiChar; cdecl; external TavikSat;
procedure FreeLibraryText(text: PAnsiChar); cdecl; external CRuntime name 'free';

type
  TFields = array of UTF8String;

{ UTF-8 for the library; "|" would split the request's fields. }
function Argument(const text: UTF8String): PAnsiChar;
begin
  if Pos('|', text) > 0 then
    raise Exception.Create('an argument holds ''|''');
  Result := PAnsiChar(text);
end;

function ReadUtf8File(const path: string): UTF8String;
var
  stream: TFileStream;
begin
  Result := '';
  stream := TFileStream.Create(path, fmOpenRead or fmShareDenyWrite);
  try
    SetLength(Result, stream.Size);
    if stream.Size > 0 then
      stream.ReadBuffer(Result[1], stream.Size);
  finally
    stream.Free;
  end;
end;

{ Copies the result at once (it is recycled after 100 further calls), prints
  it split at "|" and returns the fields. }
function Show(const call: string; session: Integer; answer: PAnsiChar): TFields;
var
  text, field: UTF8String;
  bar, count: Integer;
begin
  text := UTF8String(answer);
  WriteLn('== ', call, ' (session ', session, ')');
  count := 0;
  Result := nil;
  repeat
    bar := Pos('|', text);
    if bar > 0 then
    begin
      field := Copy(text, 1, bar - 1);
      Delete(text, 1, bar);
    end
    else
      field := text;
    Inc(count);
    SetLength(Result, count);
    Result[count - 1] := field;
    if Length(field) > 60 then
      WriteLn('  [', count, '] ', Copy(field, 1, 40), '... (', Length(field), ' characters)')
    else
      WriteLn('  [', count, '] ', field);
  until bar = 0;
end;

function Field(const fields: TFields; number: Integer): UTF8String;
begin
  if number <= Length(fields) then
    Result := fields[number - 1]
  else
    Result := '';
end;

var
  ip, code, data, saleXml, cancellationXml, key: UTF8String;
  session, found: Integer;
  sale, cancel: TFields;
  json: PAnsiChar;
begin
{$IFDEF FPC}
  SetTextCodePage(Output, CP_UTF8);
{$ENDIF}
  ip := '127.0.0.1';
  code := '12345678';
  data := '../data';
  if ParamCount >= 1 then ip := UTF8String(ParamStr(1));
  if ParamCount >= 2 then code := UTF8String(ParamStr(2));
  if ParamCount >= 3 then data := UTF8String(ParamStr(3));

  WriteLn('VersaoLib: ', UTF8String(VersaoLib));
  found := FiltraMFEIp(Argument(ip));
  WriteLn('FiltraMFEIp(', ip, '): ', found);
  if found <> 0 then Halt(1);

  session := GeraNumeroSessao;
  Show('ConsultarSAT', session, ConsultarSAT(session));

  session := GeraNumeroSessao;
  Show('ConsultarStatusOperacional', session, ConsultarStatusOperacional(session, Argument(code)));

  saleXml := ReadUtf8File(string(data) + '/venda.xml');
  session := GeraNumeroSessao;
  sale := Show('EnviarDadosVenda', session, EnviarDadosVenda(session, Argument(code), Argument(saleXml)));
  if Field(sale, 2) <> '06000' then Halt(1);
  key := Field(sale, 9);
  WriteLn('sale key: ', key);
  WriteLn('sale total: ', Field(sale, 10));

  cancellationXml := StringReplace(ReadUtf8File(string(data) + '/cancelamento.xml'), 'CHAVE_DA_VENDA', key, []);
  session := GeraNumeroSessao;
  cancel := Show('CancelarUltimaVenda', session,
                 CancelarUltimaVenda(session, Argument(code), Argument(key), Argument(cancellationXml)));
  WriteLn('cancellation code: ', Field(cancel, 2));

  session := GeraNumeroSessao;
  Show('ConsultarUltimaSessaoFiscal', session, ConsultarUltimaSessaoFiscal(session, Argument(code)));

  json := GetDeviceInfoAsJson;
  if json <> nil then
  begin
    WriteLn('GetDeviceInfoAsJson: ', UTF8String(json));
    FreeLibraryText(json);
  end
  else
    WriteLn('GetDeviceInfoAsJson: (none)');

  if Field(cancel, 2) <> '07000' then Halt(1);
end.
